#pragma once

#include <string>

namespace kestrel::call {

// What the main window hands to the document: commands by id, the open
// and close steps, the listener's events, and the user's answer to an
// incoming call. The document implements it.
//
// Threads: user-interface thread only.
class IDocumentCommands {
public:
    virtual ~IDocumentCommands() = default;

    // Carries out command `id`; false when the id is not the document's.
    virtual bool OnCommand(int id) = 0;
    // Whether menu item `id` carries a check mark.
    virtual bool IsChecked(int id) const = 0;
    // Dials the text after the last path separator of `path`.
    virtual void OnOpenDocument(const std::string &path) = 0;
    // The main window is closing.
    virtual void OnCloseDocument() = 0;
    virtual void OnCallStarted(int peerMask) = 0;
    virtual void OnCallEnded() = 0;
    // The user's answer to question `questionId` about an incoming call.
    virtual void AnswerIncomingCall(int questionId, bool accept) = 0;
    // The document's title, shown in front of the program's name.
    virtual std::string Title() const = 0;
};

} // namespace kestrel::call
