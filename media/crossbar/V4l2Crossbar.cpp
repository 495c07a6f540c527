#include "media/crossbar/V4l2Crossbar.h"

#include "media/crossbar/V4l2Device.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace kestrel::media::crossbar {

namespace {

std::string Lowered(const unsigned char *name, std::size_t size)
{
    std::string text(reinterpret_cast<const char *>(name), strnlen(reinterpret_cast<const char *>(name), size));
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool Mentions(const std::string &text, std::initializer_list<std::string_view> words)
{
    return std::any_of(words.begin(), words.end(),
                       [&text](std::string_view word) { return text.find(word) != std::string::npos; });
}

} // namespace

int ConnectorTypeOfInput(const v4l2_input &input)
{
    if (input.type == V4L2_INPUT_TYPE_TUNER)
        return connector::VideoTuner;
    const std::string name = Lowered(input.name, sizeof input.name);
    // Composite first: "Composite over S-Video" carries a composite signal.
    if (Mentions(name, {"composite", "cvbs"}))
        return connector::VideoComposite;
    if (Mentions(name, {"s-video", "svideo", "s video", "y/c"}))
        return connector::VideoSVideo;
    if (Mentions(name, {"component", "ypbpr", "yuv"}))
        return connector::VideoYRYBY;
    if (Mentions(name, {"rgb", "vga"}))
        return connector::VideoRgb;
    if (Mentions(name, {"hdmi", "dvi", "sdi", "displayport"}))
        return connector::VideoSerialDigital;
    if (Mentions(name, {"television", "tuner"}))
        return connector::VideoTuner;
    return connector::VideoAux;
}

int ConnectorTypeOfAudio(const v4l2_audio &audio)
{
    const std::string name = Lowered(audio.name, sizeof audio.name);
    if (Mentions(name, {"tuner", "television", "tv", "radio"}))
        return connector::AudioTuner;
    if (Mentions(name, {"mic"}))
        return connector::AudioMic;
    if (Mentions(name, {"spdif", "s/pdif"}))
        return connector::AudioSpdifDigital;
    if (Mentions(name, {"aux"}))
        return connector::AudioAux;
    if (Mentions(name, {"usb"}))
        return connector::AudioUsb;
    return connector::AudioLine;
}

std::shared_ptr<CV4l2Crossbar> CV4l2Crossbar::Open(IV4l2Calls &calls, const std::string &path)
{
    platform::UniqueFd fd = calls.Open(path);
    if (!fd)
        return nullptr;
    v4l2_capability capabilities;
    if (!v4l2::QueryCapabilities(calls, fd.Get(), capabilities) || !v4l2::CapturesVideo(capabilities))
        return nullptr;
    const std::vector<v4l2_input> inputs = v4l2::EnumerateInputs(calls, fd.Get());
    const std::vector<v4l2_audio> audioInputs = v4l2::EnumerateAudioInputs(calls, fd.Get());
    return std::make_shared<CV4l2Crossbar>(calls, std::move(fd), inputs, audioInputs);
}

CV4l2Crossbar::CV4l2Crossbar(IV4l2Calls &calls, platform::UniqueFd fd, const std::vector<v4l2_input> &inputs,
                             const std::vector<v4l2_audio> &audioInputs)
    : calls(calls), fd(std::move(fd))
{
    std::vector<std::uint32_t> audioSets;
    for (const v4l2_input &input : inputs) {
        if (input.type == V4L2_INPUT_TYPE_TOUCH)
            continue;
        video.push_back({input.index, ConnectorTypeOfInput(input), -1});
        audioSets.push_back(input.audioset);
    }
    for (const v4l2_audio &input : audioInputs)
        audio.push_back({input.index, ConnectorTypeOfAudio(input), -1});
    // Audio sets are bit masks over the driver's audio input indices.
    const auto audioPinOf = [this](unsigned deviceIndex) {
        for (std::size_t j = 0; j < audio.size(); ++j)
            if (audio[j].deviceIndex == deviceIndex)
                return VideoInputCount() + static_cast<int>(j);
        return -1;
    };
    for (std::size_t i = 0; i < video.size(); ++i) {
        for (unsigned bit = 0; bit < 32 && video[i].related == -1; ++bit)
            if (audioSets[i] & (1u << bit))
                video[i].related = audioPinOf(bit);
        if (video[i].related != -1) {
            Pin &sound = AudioPin(video[i].related);
            if (sound.related == -1)
                sound.related = static_cast<int>(i);
        }
    }
}

HResult CV4l2Crossbar::GetPinCounts(int &outputs, int &inputs)
{
    outputs = OutputCount();
    inputs = VideoInputCount() + static_cast<int>(audio.size());
    return result::Ok;
}

HResult CV4l2Crossbar::GetCrossbarPinInfo(PinDirection direction, int index, int &related, int &physicalType)
{
    if (direction == PinDirection::Output) {
        if (index == kVideoOutput) {
            related = audio.empty() ? -1 : kAudioOutput;
            physicalType = connector::VideoDecoder;
            return result::Ok;
        }
        if (index == kAudioOutput && !audio.empty()) {
            related = kVideoOutput;
            physicalType = connector::AudioDecoder;
            return result::Ok;
        }
        return result::Fail;
    }
    const Pin *pin = IsVideoPin(index) ? &video[static_cast<std::size_t>(index)]
                     : IsAudioPin(index) ? &AudioPin(index)
                                         : nullptr;
    if (!pin)
        return result::Fail;
    related = pin->related;
    physicalType = pin->type;
    return result::Ok;
}

HResult CV4l2Crossbar::CanRoute(int output, int input)
{
    if (output == kVideoOutput)
        return IsVideoPin(input) ? result::Ok : result::False;
    if (output == kAudioOutput && !audio.empty())
        return IsAudioPin(input) ? result::Ok : result::False;
    return result::False;
}

HResult CV4l2Crossbar::Route(int output, int input)
{
    if (CanRoute(output, input) != result::Ok)
        return result::Fail;
    const bool switched = output == kVideoOutput
                              ? v4l2::SetInput(calls, fd.Get(), video[static_cast<std::size_t>(input)].deviceIndex)
                              : v4l2::SetAudioInput(calls, fd.Get(), AudioPin(input).deviceIndex);
    return switched ? result::Ok : result::Fail;
}

PinConnection CV4l2Crossbar::InputConnection(int)
{
    return {}; // every input is a connector of the device itself
}

std::unique_ptr<CCrossbarRouter> MakeV4l2Router(IV4l2Calls &calls, const std::string &devicePath)
{
    if (devicePath.empty())
        return nullptr;
    std::shared_ptr<CV4l2Crossbar> crossbar = CV4l2Crossbar::Open(calls, devicePath);
    if (!crossbar || crossbar->VideoInputCount() < 2)
        return nullptr;
    HResult found = result::Ok;
    return std::make_unique<CCrossbarRouter>(PinConnection::ToCrossbar(crossbar, 0), found);
}

} // namespace kestrel::media::crossbar
