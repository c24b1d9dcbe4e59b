#include "support/messagerecorder.h"

namespace kyro::test {

MessageRecorder::MessageRecorder() {
    previous_ = SetMessageResponder([this](const Message& m) {
        messages_.push_back(m);
        if (answers_.empty()) return DefaultAnswer(m.buttons);
        ModalResult r = answers_.front();
        answers_.pop_front();
        return r;
    });
}

MessageRecorder::~MessageRecorder() { SetMessageResponder(previous_); }

std::vector<QString> MessageRecorder::Texts() const {
    std::vector<QString> texts;
    for (const auto& m : messages_) texts.push_back(m.text);
    return texts;
}

}  // namespace kyro::test
