#include "app/shell.h"

#include "text/cp1250.h"

namespace kovirant {

MessageBoxSpec messageBox(std::string_view text, std::string_view caption, MessageIcon icon, bool owned) {
    return {cp1250ToUtf16(text), cp1250ToUtf16(caption), icon, owned};
}

void notice(Shell& shell, std::string_view text, MessageIcon icon, bool owned, std::string_view caption) {
    shell.showMessage(messageBox(text, caption, icon, owned));
}

std::u16string shellText(std::string_view cp1250) { return cp1250ToUtf16(cp1250); }

}  // namespace kovirant
