// The library's two readers, the quick one for files in the encoder's layout and the JSON
// parser, give exactly the same library, or the same error, for any bytes; a library that
// reads writes to bytes that read back as exactly that library.
//
// The first byte chooses the input: the bytes as they are, or the bytes put among the items
// of a library in the encoder's layout, where the quick reader takes the file on.

#include "Models/UserDataDecoder.h"
#include "Models/UserDataEncoder.h"
#include "SampleLibrary.h"

#include <optional>

namespace {

struct Outcome {
    std::optional<UserData> library;
    QString error;
};

template <class Read> Outcome readWith(const Read& read)
{
    try {
        return {read(), {}};
    } catch (const DecodingError& e) {
        return {std::nullopt, e.errorDescription()};
    }
}

bool same(const Outcome& a, const Outcome& b)
{
    if (a.library.has_value() != b.library.has_value())
        return false;
    return a.library ? UserData::identical(*a.library, *b.library) : a.error == b.error;
}

QByteArray amongItems(const QByteArray& bytes)
{
    static const QByteArray written = VelmoraJSON::encode(sampleLibrary());
    QByteArray file = written;
    const qsizetype item = file.indexOf("\n        {\n");
    const qsizetype at = item < 0 ? file.size() / 2 : item + 11;
    return file.insert(at, bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray fuzzed(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    const QByteArray bytes = data[0] % 2 ? amongItems(fuzzed) : fuzzed;
    const Outcome plain = readWith([&] { return VelmoraJSON::decode<UserData>(bytes); });
    const Outcome quick = readWith([&] { return UserDataDecoder::decode(bytes); });
    check(same(plain, quick));
    if (plain.library) {
        const QByteArray written = UserDataEncoder().encode(*plain.library).bytes;
        const Outcome again = readWith([&] { return UserDataDecoder::decode(written); });
        check(same(again, plain));
        check(VelmoraJSON::encode(*again.library) == written);
    }
    return 0;
}
