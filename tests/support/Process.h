#pragma once

#include <functional>

namespace qvtest {

// Runs `body` in a child process and returns its exit status (or -signal when it was killed).
int inChild(const std::function<int()>& body);

// Runs `body` in a child process that has given up root's rights (user and group "nobody"),
// so file permissions apply even when the tests run as root.
int asNobody(const std::function<int()>& body);

} // namespace qvtest
