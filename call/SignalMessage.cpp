#include "SignalMessage.h"

namespace kestrel::call {

namespace {

void PutLittleEndian(uint8_t *out, int32_t value)
{
    const auto bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(bits >> (8 * i));
}

int32_t GetLittleEndian(const uint8_t *in)
{
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= static_cast<uint32_t>(in[i]) << (8 * i);
    return static_cast<int32_t>(bits);
}

} // namespace

SignalRecord EncodeSignal(const SignalMessage &message)
{
    SignalRecord record{};
    PutLittleEndian(&record[0], message.type);
    PutLittleEndian(&record[4], message.value);
    PutLittleEndian(&record[8], message.reserved);
    return record;
}

SignalMessage DecodeSignal(std::span<const uint8_t, kSignalMessageSize> record)
{
    return {GetLittleEndian(&record[0]), GetLittleEndian(&record[4]), GetLittleEndian(&record[8])};
}

std::span<uint8_t> SignalRecordCollector::Missing()
{
    return std::span<uint8_t>(bytes).subspan(filled);
}

bool SignalRecordCollector::Received(std::size_t count)
{
    if (count > kSignalMessageSize - filled)
        return false;
    filled += count;
    return true;
}

std::optional<SignalMessage> SignalRecordCollector::Take()
{
    if (!Complete())
        return std::nullopt;
    filled = 0;
    return DecodeSignal(bytes);
}

} // namespace kestrel::call
