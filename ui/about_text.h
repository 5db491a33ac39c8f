#pragma once
// The text of the about box's edit box.
#include <string>
#include <string_view>

namespace qelisp {

// model + "\r\n     Total Station In System Updata Software" + "\r\n\r\nVersion:  " + version.
// The 15-character fields go in as they are, trailing spaces and all.
std::string aboutText(std::string_view model, std::string_view version);

// The maker's one-line notice under it, with this program's version: a
// technician asked which QelIsp it is finds both versions in one box.
std::string makerNotice(std::string_view programVersion);

}  // namespace qelisp
