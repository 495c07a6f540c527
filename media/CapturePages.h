#pragma once

namespace kestrel::media {

// The Video and Audio option pages as the graph builder sees them: whether
// each medium is sent, and the camera's capture size. The options sheet
// implements it; its members keep their values between openings.
//
// Threads: user-interface thread, except that GetMediaMask (on the sheet)
// may read the Enable members from the call listener.
class ICapturePages {
public:
    virtual ~ICapturePages() = default;

    virtual bool VideoEnabled() const = 0; // the Video page's "Enable" box
    virtual bool AudioEnabled() const = 0; // the Audio page's "Enable" box
    // The Video page's capture size: 176 x 144 or 352 x 288.
    virtual void GetVideoSize(int &width, int &height) const = 0;
    // A call always sends 176 x 144 and sets the page to it.
    virtual void SetVideoSize(int width, int height) = 0;
};

} // namespace kestrel::media
