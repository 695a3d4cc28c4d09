#pragma once
// A message box for tests: records every box instead of showing it.

#include <string>
#include <vector>

#include "platform/message_box.h"

namespace pelex::platform::testing {

class RecordingMessageBox : public MessageBox {
public:
    struct Shown {
        std::u16string text;
        std::u16string title;
        MessageIcon icon;
    };

    void show(const std::u16string& text, const std::u16string& title, MessageIcon icon) override {
        shown.push_back({text, title, icon});
    }

    std::vector<Shown> shown;
};

}  // namespace pelex::platform::testing
