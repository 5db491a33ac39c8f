#pragma once
// The one message box the program shows: a port change asked for while a job
// runs. The words are the ones technicians know from the instrument's tools.
namespace qelisp {

inline constexpr const char* kPortWarningText = "During Program Or Verify period\r\nCould Not Change the Comport!";
inline constexpr const char* kPortWarningCaption = "Warnning";

}  // namespace qelisp
