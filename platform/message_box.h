#pragma once
// The modal message box, as a seam: the control shows a real QMessageBox,
// tests record what would have been shown. Every box has an OK button only.

#include <string>

namespace pelex::platform {

enum class MessageIcon { None, Information, Exclamation, Critical };

class MessageBox {
public:
    virtual ~MessageBox() = default;
    /// Shows `text` under `title` and returns when the user closed the box.
    virtual void show(const std::u16string& text, const std::u16string& title, MessageIcon icon) = 0;
};

}  // namespace pelex::platform
