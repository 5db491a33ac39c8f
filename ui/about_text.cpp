#include "ui/about_text.h"

namespace qelisp {

std::string aboutText(std::string_view model, std::string_view version) {
    std::string text(model);
    text += "\r\n     Total Station In System Updata Software";
    text += "\r\n\r\nVersion:  ";
    text += version;
    return text;
}

std::string makerNotice(std::string_view programVersion) {
    std::string text("QelIsp ");
    text += programVersion;
    text += " \u2014 firmware updater";
    return text;
}

}  // namespace qelisp
