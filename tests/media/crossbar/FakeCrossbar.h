#pragma once

#include "media/crossbar/Crossbar.h"

#include <memory>
#include <string>
#include <vector>

namespace kestrel::media::crossbar::test {

// A crossbar of a made-up capture card. Video inputs route to video outputs
// and audio inputs to audio outputs (by their connector type) unless a test
// says otherwise; every Route is written to the shared `log` as
// "<name> <output><-<input>".
class FakeCrossbar final : public ICrossbar {
public:
    struct Pin {
        int type = connector::VideoComposite;
        int related = -1;
        PinConnection upstream; // inputs only
        bool routable = true;   // inputs only: false refuses CanRoute
    };

    FakeCrossbar(std::string name, std::shared_ptr<std::vector<std::string>> log)
        : name(std::move(name)), log(std::move(log))
    {
    }

    int AddInput(int type, int related = -1)
    {
        inputs.push_back({type, related, {}, true});
        return static_cast<int>(inputs.size()) - 1;
    }
    int AddOutput(int type, int related = -1)
    {
        outputs.push_back({type, related, {}, true});
        return static_cast<int>(outputs.size()) - 1;
    }
    // Connects input `input` to output `output` of the crossbar upstream.
    void ConnectInput(int input, std::shared_ptr<ICrossbar> upstream, int output)
    {
        inputs.at(static_cast<std::size_t>(input)).upstream = PinConnection::ToCrossbar(std::move(upstream), output);
    }

    HResult GetPinCounts(int &outputCount, int &inputCount) override
    {
        outputCount = static_cast<int>(outputs.size());
        inputCount = static_cast<int>(inputs.size());
        return result::Ok;
    }
    HResult GetCrossbarPinInfo(PinDirection direction, int index, int &related, int &physicalType) override
    {
        const std::vector<Pin> &pins = direction == PinDirection::Input ? inputs : outputs;
        if (index < 0 || index >= static_cast<int>(pins.size()))
            return result::Fail;
        related = pins[static_cast<std::size_t>(index)].related;
        physicalType = pins[static_cast<std::size_t>(index)].type;
        return result::Ok;
    }
    HResult CanRoute(int output, int input) override
    {
        if (output < 0 || output >= static_cast<int>(outputs.size()) || input < 0 ||
            input >= static_cast<int>(inputs.size()))
            return result::False;
        const Pin &in = inputs[static_cast<std::size_t>(input)];
        const bool audioIn = in.type >= connector::kFirstAudio;
        const bool audioOut = outputs[static_cast<std::size_t>(output)].type >= connector::kFirstAudio;
        return in.routable && audioIn == audioOut ? result::Ok : result::False;
    }
    HResult Route(int output, int input) override
    {
        log->push_back(name + " " + std::to_string(output) + "<-" + std::to_string(input));
        return CanRoute(output, input) == result::Ok ? result::Ok : result::Fail;
    }
    PinConnection InputConnection(int input) override
    {
        if (input < 0 || input >= static_cast<int>(inputs.size()))
            return {};
        return inputs[static_cast<std::size_t>(input)].upstream;
    }

    std::vector<Pin> inputs;
    std::vector<Pin> outputs;

private:
    std::string name;
    std::shared_ptr<std::vector<std::string>> log;
};

} // namespace kestrel::media::crossbar::test
