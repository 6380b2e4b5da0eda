#pragma once

#include "program_state.h"

#include <optional>

namespace wendlow {

// The greeting word for an hour of the day; none at 6 o'clock, when the label keeps its text.
std::optional<Text> greetingWord(int hour);

// The main window's top line: the word, the owner's name and the greeting tail.
Text mainGreetingText(const Text& word, const ProgramState& state);

// The past-entries window's line: the word, the owner, the book and the number of entries.
Text pastEntriesGreetingText(const Text& word, const ProgramState& state);

} // namespace wendlow
