#pragma once

#include "media/MediaResult.h"

#include <memory>

namespace kestrel::media::crossbar {

// Physical connector types, in the numbering capture cards have always
// reported them with. Audio connectors start at 0x1000.
namespace connector {
inline constexpr int VideoTuner = 1;
inline constexpr int VideoComposite = 2;
inline constexpr int VideoSVideo = 3;
inline constexpr int VideoRgb = 4;
inline constexpr int VideoYRYBY = 5;
inline constexpr int VideoSerialDigital = 6;
inline constexpr int VideoParallelDigital = 7;
inline constexpr int VideoScsi = 8;
inline constexpr int VideoAux = 9;
inline constexpr int Video1394 = 10;
inline constexpr int VideoUsb = 11;
inline constexpr int VideoDecoder = 12;
inline constexpr int VideoEncoder = 13;
inline constexpr int AudioTuner = 0x1000;
inline constexpr int AudioLine = 0x1001;
inline constexpr int AudioMic = 0x1002;
inline constexpr int AudioAesDigital = 0x1003;
inline constexpr int AudioSpdifDigital = 0x1004;
inline constexpr int AudioScsi = 0x1005;
inline constexpr int AudioAux = 0x1006;
inline constexpr int Audio1394 = 0x1007;
inline constexpr int AudioUsb = 0x1008;
inline constexpr int AudioDecoder = 0x1009;
inline constexpr int kFirstAudio = 0x1000;
} // namespace connector

class ICrossbar;

// What an input pin on the way to the capture device is connected to: a
// crossbar's output pin, another kind of filter, or nothing (the pin is a
// physical connector).
struct PinConnection {
    enum class Upstream { Nothing, OtherFilter, Crossbar };
    Upstream upstream = Upstream::Nothing;
    std::shared_ptr<ICrossbar> crossbar; // when upstream is Crossbar
    int outputIndex = -1;                // that crossbar's output pin

    static PinConnection ToCrossbar(std::shared_ptr<ICrossbar> crossbar, int outputIndex)
    {
        return {Upstream::Crossbar, std::move(crossbar), outputIndex};
    }
};

enum class PinDirection { Input, Output };

// One crossbar of a capture card: it switches one of its input pins through
// to each output pin. Pins of each direction are counted from 0.
//
// Threads: user-interface thread.
class ICrossbar {
public:
    virtual ~ICrossbar() = default;

    virtual HResult GetPinCounts(int &outputs, int &inputs) = 0;
    // `related`: the pin of the same direction that goes with this one (the
    // audio of a video pin and back), -1 for none. `physicalType`: a
    // connector:: value.
    virtual HResult GetCrossbarPinInfo(PinDirection direction, int index, int &related, int &physicalType) = 0;
    // result::Ok when `input` can be switched to `output`, result::False when not.
    virtual HResult CanRoute(int output, int input) = 0;
    virtual HResult Route(int output, int input) = 0;
    // What the input pin is connected to upstream.
    virtual PinConnection InputConnection(int input) = 0;
};

} // namespace kestrel::media::crossbar
