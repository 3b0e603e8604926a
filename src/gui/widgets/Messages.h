#pragma once

#include <QString>

class QWidget;

namespace qv {

enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };
enum class BoxIcon { None, Information, Warning };

// Every message box of the program goes through this, so tests can record the messages and
// answer Yes or No without a modal loop.
class Messages {
public:
    virtual ~Messages() = default;
    virtual MessageAnswer show(QWidget* owner, const QString& caption, const QString& text, BoxIcon icon,
                               MessageButtons buttons = MessageButtons::Ok) = 0;
};

// The real thing: modal message boxes.
class BoxMessages final : public Messages {
public:
    MessageAnswer show(QWidget* owner, const QString& caption, const QString& text, BoxIcon icon, MessageButtons buttons) override;
};

} // namespace qv
