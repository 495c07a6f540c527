#pragma once

#include "media/devices/CaptureSources.h"
#include "tests/media/crossbar/FakeCrossbar.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kestrel::media::devices::test {

// Routers for the cameras a test names, each over one made-up crossbar
// named after the camera; its routes go to the shared `log`
// ("<camera> 0<-<input>"), and `made` counts the routers made.
class FakeRouters final : public IInputRouterFactory {
public:
    void GiveInputs(const std::string &camera, std::vector<int> connectorTypes)
    {
        inputs[camera] = std::move(connectorTypes);
    }
    std::unique_ptr<crossbar::CCrossbarRouter> MakeRouter(const ICaptureDevice &camera) override
    {
        ++made;
        const auto found = inputs.find(camera.Name());
        if (found == inputs.end())
            return nullptr;
        auto card = std::make_shared<crossbar::test::FakeCrossbar>(camera.Name(), log);
        for (int type : found->second)
            card->AddInput(type);
        card->AddOutput(crossbar::connector::VideoDecoder);
        HResult result = media::result::Ok;
        return std::make_unique<crossbar::CCrossbarRouter>(crossbar::PinConnection::ToCrossbar(card, 0), result);
    }

    std::map<std::string, std::vector<int>> inputs;
    std::shared_ptr<std::vector<std::string>> log = std::make_shared<std::vector<std::string>>();
    int made = 0;
};

} // namespace kestrel::media::devices::test
