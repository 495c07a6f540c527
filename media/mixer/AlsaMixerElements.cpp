#include "media/mixer/AlsaElements.h"

// The C headers asoundlib.h uses come first, with their own linkage, so that
// the block below gives C linkage to ALSA's declarations only: alsa-lib
// 1.2.8 declares snd_lib_error_set_local outside its extern "C" block.
#include <assert.h>
#include <endian.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>
extern "C" {
#include <alsa/asoundlib.h>
}

namespace kestrel::media::mixer {

namespace {

struct MixerClose {
    void operator()(snd_mixer_t *mixer) const { snd_mixer_close(mixer); }
};
using MixerHandle = std::unique_ptr<snd_mixer_t, MixerClose>;

// While a mixer is being opened on this thread ALSA's complaints (a machine
// without a sound card gives a dozen lines per attempt) are dropped: no
// mixer simply means no level, and the program keeps no log of its own.
class QuietAlsaErrors {
public:
    QuietAlsaErrors() : previous(snd_lib_error_set_local(&Drop)) {}
    ~QuietAlsaErrors() { snd_lib_error_set_local(previous); }
    QuietAlsaErrors(const QuietAlsaErrors &) = delete;
    QuietAlsaErrors &operator=(const QuietAlsaErrors &) = delete;

private:
    static void Drop(const char *, int, const char *, int, const char *, va_list) {}
    snd_local_error_handler_t previous;
};

bool NamesCaptureSelector(const std::string &name)
{
    // HDA codecs call their capture multiplexer "Input Source", which ALSA
    // does not count as a capture enumeration.
    return name.find("Capture Source") != std::string::npos || name.find("Input Source") != std::string::npos;
}

AlsaElementInfo Describe(snd_mixer_elem_t *element)
{
    AlsaElementInfo info;
    info.name = snd_mixer_selem_get_name(element);
    info.captureVolume = snd_mixer_selem_has_capture_volume(element) && !snd_mixer_selem_has_common_volume(element);
    info.captureSwitch = snd_mixer_selem_has_capture_switch(element) && !snd_mixer_selem_has_common_switch(element);
    if (info.captureVolume) {
        info.captureVolumeJoined = snd_mixer_selem_has_capture_volume_joined(element);
        snd_mixer_selem_get_capture_volume_range(element, &info.minimum, &info.maximum);
    }
    if (info.captureVolume || info.captureSwitch)
        for (int channel = 0; channel <= SND_MIXER_SCHN_LAST; ++channel)
            if (snd_mixer_selem_has_capture_channel(element, static_cast<snd_mixer_selem_channel_id_t>(channel)))
                info.captureChannels.push_back(channel);
    if (snd_mixer_selem_is_enumerated(element) &&
        (snd_mixer_selem_is_enum_capture(element) || NamesCaptureSelector(info.name))) {
        info.captureEnum = true;
        const int items = snd_mixer_selem_get_enum_items(element);
        for (int item = 0; item < items; ++item) {
            char name[64] = {};
            if (snd_mixer_selem_get_enum_item_name(element, static_cast<unsigned>(item), sizeof name - 1, name) < 0)
                name[0] = '\0';
            info.enumItems.emplace_back(name);
        }
    }
    return info;
}

// One open mixer with its simple elements. The element pointers belong to
// the mixer and live as long as it does.
class CAlsaMixerElements final : public IAlsaMixerElements {
public:
    explicit CAlsaMixerElements(MixerHandle mixer) : mixer(std::move(mixer))
    {
        for (snd_mixer_elem_t *element = snd_mixer_first_elem(this->mixer.get()); element;
             element = snd_mixer_elem_next(element)) {
            if (!snd_mixer_selem_is_active(element))
                continue;
            handles.push_back(element);
            infos.push_back(Describe(element));
        }
    }

    const std::vector<AlsaElementInfo> &Elements() const override { return infos; }

    bool CaptureVolume(std::size_t element, int channel, long &value) override
    {
        return snd_mixer_selem_get_capture_volume(handles.at(element), Channel(channel), &value) == 0;
    }
    bool SetCaptureVolume(std::size_t element, int channel, long value) override
    {
        return snd_mixer_selem_set_capture_volume(handles.at(element), Channel(channel), value) == 0;
    }
    bool CaptureSwitch(std::size_t element, int channel, bool &on) override
    {
        int value = 0;
        if (snd_mixer_selem_get_capture_switch(handles.at(element), Channel(channel), &value) != 0)
            return false;
        on = value != 0;
        return true;
    }
    bool SetCaptureSwitch(std::size_t element, bool on) override
    {
        return snd_mixer_selem_set_capture_switch_all(handles.at(element), on ? 1 : 0) == 0;
    }
    bool EnumItem(std::size_t element, unsigned &item) override
    {
        return snd_mixer_selem_get_enum_item(handles.at(element), SND_MIXER_SCHN_MONO, &item) == 0;
    }
    bool SetEnumItem(std::size_t element, unsigned item) override
    {
        snd_mixer_elem_t *handle = handles.at(element);
        if (snd_mixer_selem_set_enum_item(handle, SND_MIXER_SCHN_MONO, item) != 0)
            return false;
        // A stereo selector has one item per channel; the first refusal ends them.
        for (int channel = 1; channel <= SND_MIXER_SCHN_LAST; ++channel)
            if (snd_mixer_selem_set_enum_item(handle, Channel(channel), item) != 0)
                break;
        return true;
    }

private:
    static snd_mixer_selem_channel_id_t Channel(int channel)
    {
        return static_cast<snd_mixer_selem_channel_id_t>(channel);
    }

    MixerHandle mixer;
    std::vector<snd_mixer_elem_t *> handles;
    std::vector<AlsaElementInfo> infos;
};

} // namespace

std::unique_ptr<IAlsaMixerElements> OpenAlsaMixerElements(const std::string &device)
{
    const QuietAlsaErrors quiet;
    snd_mixer_t *opened = nullptr;
    if (snd_mixer_open(&opened, 0) < 0)
        return nullptr;
    MixerHandle mixer(opened);
    if (snd_mixer_attach(mixer.get(), device.c_str()) < 0 ||
        snd_mixer_selem_register(mixer.get(), nullptr, nullptr) < 0 || snd_mixer_load(mixer.get()) < 0)
        return nullptr;
    return std::make_unique<CAlsaMixerElements>(std::move(mixer));
}

} // namespace kestrel::media::mixer
