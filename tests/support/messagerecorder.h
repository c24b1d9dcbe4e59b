#pragma once
// Installs a message responder for the lifetime of the object: every message is recorded and
// answered from a queue of answers (the box's default answer once the queue is empty).

#include "platform/messagebox.h"
#include "support/qtprinters.h"

#include <deque>
#include <vector>

namespace kyro::test {

class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();

    void Answer(ModalResult r) { answers_.push_back(r); }
    const std::vector<Message>& Messages() const { return messages_; }
    std::vector<QString> Texts() const;

private:
    std::vector<Message> messages_;
    std::deque<ModalResult> answers_;
    MessageHandler previous_;
};

}  // namespace kyro::test
