// How a run asks and tells: the buttons and icon of a question or message, and its answer.
#pragma once

namespace vs {

enum class MessageButtons { ok, okCancel, yesNo, yesNoCancel };
enum class MessageIcon { none, stop, exclamation, information };
enum class MessageAnswer { ok, cancel, yes, no };

}  // namespace vs
