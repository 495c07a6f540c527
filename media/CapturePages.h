#pragma once

#include <memory>

namespace kestrel::media {

class ICaptureDevice;

// The Video and Audio option pages as the graph builder sees them: whether
// each medium is sent, the camera's capture size, and the chosen camera and
// microphone. The options sheet implements it; its members keep their
// values between openings.
//
// A camera or microphone is chosen the first time one is needed, by the
// builder or by the page; the builder asks for the default only while none
// is chosen:
//
//     if (!pages.ChosenCamera() && pages.ChooseDefaultVideoDevice() != 0)
//         return; // no camera
//     GstElement *camera = CreateCaptureFilter(*pages.ChosenCamera());
//
// The camera's input on a capture card is already routed when it is chosen
// (and again when the Video page's OK changes it); the builder has nothing
// more to do for it.
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

    // The chosen camera, or null while none is chosen.
    virtual std::shared_ptr<ICaptureDevice> ChosenCamera() const = 0;
    // Chooses the default camera while none is chosen: the one saved as
    // "VideoInputDevice", else the first listed, with its saved input
    // routed. 0 when a camera has been chosen; 1 when there is none, or
    // when one had been chosen before (nothing is done then).
    virtual int ChooseDefaultVideoDevice() = 0;
    // The chosen microphone, or null while none is chosen.
    virtual std::shared_ptr<ICaptureDevice> ChosenMicrophone() const = 0;
    // Chooses the first microphone while none is chosen and makes it the
    // recording source on the mixer. 0 / 1 as for the camera.
    virtual int ChooseDefaultAudioDevice() = 0;
};

} // namespace kestrel::media
