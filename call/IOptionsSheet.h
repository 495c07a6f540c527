#pragma once

namespace kestrel::call {

// The options sheet as the document and the call listener use it.
class IOptionsSheet {
public:
    virtual ~IOptionsSheet() = default;

    // Shows the sheet modally (user-interface thread); the result is not used.
    virtual void ShowModal() = 0;
    // This side's media mask: bit 0 video sent, bit 1 audio sent. When
    // neither page's "Enable" is set, the Audio page's is set and the result
    // is 2. Called on the user-interface thread and on the call listener.
    virtual int GetMediaMask() = 0;
};

} // namespace kestrel::call
