// The commands of the factory dialogue: each frame's text is looked up in
// a fixed order and answered.
#pragma once

#include <string>

/// What the dialogue does after a command.
enum class QcNext {
  kContinue,  // wait for the next frame
  kBreak,     // @BREAK: end the dialogue
  kReadOut,   // @AIREADPR: the endless analog read-out
};

/// Interprets one command text; `reply` is emptied and then holds what is
/// to be written to the port (nothing for the silent commands).
QcNext QcInterpret(const char* command, std::string* reply);
