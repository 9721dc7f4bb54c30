// How an operation talks to the user. Operations never touch widgets: the windows
// implement this with their status box, progress bar and message boxes, the
// command-line tool prints, and tests record every call. All texts are Windows-1250.
#pragma once

#include <string>

namespace kavrel {

enum class MessageIcon { None, Information, Warning, Error, Question };

class OperationObserver {
public:
    virtual ~OperationObserver() = default;

    // Replaces the one-line status text.
    virtual void status(const std::string& text) = 0;
    // Adds to the end of the status text (the verification's growing report).
    virtual void appendStatus(const std::string& text) = 0;
    // Moves the progress bar, 0..100.
    virtual void progress(int position) = 0;
    // A message box with an OK button; returns when the user has closed it.
    virtual void message(const std::string& text, MessageIcon icon) = 0;
    // A Yes/No question; true for Yes.
    virtual bool askYesNo(const std::string& text) = 0;
    // The module's version text, for the window's version field ("" clears it).
    virtual void version(const std::string& text) { (void)text; }
    // More about the message just given: the system's reason and what to do about it. The
    // command line prints it on a line of its own; the windows keep their message as it is.
    virtual void messageDetail(const std::string& text) { (void)text; }
};

} // namespace kavrel
