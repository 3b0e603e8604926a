namespace qv::platform {}
