#pragma once

#include "widgets/Messages.h"

#include <QString>

#include <deque>
#include <vector>

namespace qvtest {

// Records every message box and answers Yes/No questions from a queue (Yes when it is empty).
class RecordingMessages : public qv::Messages {
public:
    struct Box {
        QString caption;
        QString text;
        qv::BoxIcon icon;
        qv::MessageButtons buttons;
    };
    std::vector<Box> boxes;
    std::deque<qv::MessageAnswer> answers;

    qv::MessageAnswer show(QWidget*, const QString& caption, const QString& text, qv::BoxIcon icon, qv::MessageButtons buttons) override
    {
        boxes.push_back(Box{caption, text, icon, buttons});
        if (buttons == qv::MessageButtons::Ok)
            return qv::MessageAnswer::Ok;
        if (answers.empty())
            return qv::MessageAnswer::Yes;
        const qv::MessageAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
};

} // namespace qvtest
