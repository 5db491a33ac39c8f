#include "ui/about_text.h"

namespace qelisp {

std::string aboutText(std::string_view model, std::string_view version) {
    std::string text(model);
    text += "\r\n     Total Station In System Updata Software";
    text += "\r\n\r\nVersion:  ";
    text += version;
    return text;
}

}  // namespace qelisp
