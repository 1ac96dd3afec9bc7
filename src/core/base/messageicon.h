#pragma once

// The icon of a message to the user, wherever it is shown: a window, the
// terminal of sorabi-batch, a test's recorder.
enum class MessageIcon {
    None,
    Exclamation, // invalid input
    Critical,    // a failed file operation or page
    Question,
    Information, // completion
};
