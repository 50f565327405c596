// Any bytes read as one of the stored records either fail with a decoding error or give a
// value that writes, reads back and writes again to the same bytes, and a library that
// reads is valid and the same library as itself. The library's quick reader gives the plain
// reading's library or its error.

#include "Models/CloudSyncSnapshot.h"
#include "Models/SyncRecord.h"
#include "Models/UserDataDecoder.h"

#include <cstdlib>
#include <optional>

namespace {

void readQuickly(const QByteArray& bytes)
{
    std::optional<UserData> plain, quick;
    QString plainError, quickError;
    try {
        plain = VelmoraJSON::decode<UserData>(bytes);
    } catch (const DecodingError& e) {
        plainError = e.errorDescription();
    }
    try {
        quick = UserDataDecoder::decode(bytes);
    } catch (const DecodingError& e) {
        quickError = e.errorDescription();
    }
    if (plain != quick || plainError != quickError)
        std::abort();
}

template <class T> void roundTrip(const QByteArray& bytes)
{
    T value;
    try {
        value = VelmoraJSON::decode<T>(bytes);
    } catch (const DecodingError&) {
        return;
    }
    const QByteArray first = VelmoraJSON::encode(value);
    const QByteArray second = VelmoraJSON::encode(VelmoraJSON::decode<T>(first));
    if (first != second)
        std::abort();
    if constexpr (std::is_same_v<T, UserData>) {
        value.validate();
        if (!SyncSnapshot::sameLibrary(value, VelmoraJSON::decode<UserData>(first)))
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    switch (data[0] % 5) {
    case 0:
        roundTrip<UserData>(bytes);
        readQuickly(bytes);
        break;
    case 1: roundTrip<AppSettings>(bytes); break;
    case 2: roundTrip<Stats>(bytes); break;
    case 3: roundTrip<SyncRecord>(bytes); break;
    case 4: roundTrip<CloudSyncSnapshot>(bytes); break;
    }
    return 0;
}
