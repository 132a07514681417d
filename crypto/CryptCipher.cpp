#include "crypto/CryptCipher.h"

#include <algorithm>
#include <cassert>
#include <stdexcept>
#include <string>

#include "crypto/CryptAccel.h"
#include "crypto/CryptData.h"

namespace {

constexpr std::string_view ModeNames[] = {"cmCTSx", "cmCBCx", "cmCFB8", "cmCFBx", "cmOFB8",
                                          "cmOFBx", "cmCFS8", "cmCFSx", "cmECBx"};

const TCipherClass CryptCipherClass{{"TCryptCipher"}, {0, 0, 0, 0, false}, nullptr};
const TCipherClass RijndaelClass{{"TCipher_Rijndael"}, {32, 16, 16, 480, false}, [] {
                                     return std::unique_ptr<TCryptCipher>(new TCipher_Rijndael);
                                 }};

constexpr std::size_t AlignToWord(std::size_t size) {
    return (size + 3) & ~std::size_t{3};
}

void CopyBytes(void* destination, const void* source, std::size_t count) {
    if (count > 0) {
        std::memmove(destination, source, count);
    }
}

}  // namespace

std::string_view CipherModeName(TCipherMode mode) {
    return mode <= cmECBx ? ModeNames[mode] : std::string_view("?");
}

std::unique_ptr<TCryptCipher> TCipherClass::Create() const {
    if (CreateFn == nullptr) {
        throw std::logic_error("abstract cipher class " + std::string(Name) + " cannot be created");
    }
    return CreateFn();
}

const TCipherClass* CipherClassOrDefault(const TCipherClass* cipherClass) {
    if (cipherClass == nullptr) {
        throw ECryptException(CryptMessages::NoDefaultCipher);
    }
    return cipherClass;
}

// --- TCryptCipher: set-up and state -------------------------------------------------------

const TCipherClass* TCryptCipher::ClassRef() {
    return &CryptCipherClass;
}

TCryptCipher::TCryptCipher(const TCipherContext& context)
    : BufferSize(context.BufferSize), UserSize(context.UserSize) {
    const auto buffer = static_cast<std::size_t>(BufferSize);
    const auto user = static_cast<std::size_t>(UserSize);
    // Vector, Feedback and Buffer first; the private area starts on a word boundary.
    const std::size_t userOffset = AlignToWord(3 * buffer);
    const std::size_t userCopyOffset = userOffset + AlignToWord(user);
    const std::size_t size = context.UserSave ? userCopyOffset + user : userOffset + user;
    DataSize = static_cast<std::int32_t>(size);
    DataArea = std::make_unique<std::uint32_t[]>(AlignToWord(size) / 4);
    auto* bytes = reinterpret_cast<std::uint8_t*>(DataArea.get());
    VectorArea = bytes;
    FeedbackArea = bytes + buffer;
    BufferArea = bytes + 2 * buffer;
    UserArea = bytes + userOffset;
    UserCopyArea = context.UserSave ? bytes + userCopyOffset : nullptr;
    TCryptCipher::WipeState();
}

TCryptCipher::~TCryptCipher() {
    TCryptCipher::WipeState();
    DataArea.reset();
    VectorArea = FeedbackArea = BufferArea = UserArea = UserCopyArea = nullptr;
}

void TCryptCipher::WipeState() {
    CurrentState = StateNew;
    // A block-wide feedback mode must not resume a key stream block of an earlier key.
    BufferUsed = 0;
    WipeBuffer(DataArea.get(), DataSize);
}

void TCryptCipher::SetMode(TCipherMode mode) {
    if (mode == CurrentMode) {
        return;
    }
    if (CurrentState == StateEncoding || CurrentState == StateDecoding ||
        CurrentState == StatePadded) {
        Finish();
    }
    CurrentMode = mode;
}

void TCryptCipher::Init(const void* key, std::size_t keyLength, const void* vector,
                        std::size_t vectorLength, std::uint8_t filler) {
    WipeState();
    if (keyLength > static_cast<std::size_t>(Context().KeySize)) {
        throw ECryptException(CryptMessages::KeyTooLarge);
    }
    if (vectorLength > BufferBytes()) {
        throw ECryptException(CryptMessages::VectorTooLarge);
    }
    SetupKey(static_cast<const std::uint8_t*>(key), keyLength);
    const auto user = static_cast<std::size_t>(UserSize);
    if (UserCopyArea != nullptr) {
        CopyBytes(UserCopyArea, UserArea, user);
    }
    std::memset(VectorArea, filler, BufferBytes());
    if (vectorLength == 0) {
        EncodeBlock(VectorArea, VectorArea, BufferBytes());
        if (UserCopyArea != nullptr) {
            CopyBytes(UserArea, UserCopyArea, user);
        }
    } else {
        CopyBytes(VectorArea, vector, vectorLength);
    }
    CopyBytes(FeedbackArea, VectorArea, BufferBytes());
    CurrentState = StateInitialized;
}

void TCryptCipher::Init(std::string_view key, std::string_view vector, std::uint8_t filler) {
    Init(key.data(), key.size(), vector.data(), vector.size(), filler);
}

void TCryptCipher::Finish() {
    // A cipher without a key has no message to close; finishing it must not make Encode
    // accept data that would then be encrypted under a wiped key schedule.
    if (CurrentState == StateFinished || CurrentState == StateNew) {
        return;
    }
    CurrentState = StateFinished;
    BufferUsed = 0;
    EncodeBlock(FeedbackArea, BufferArea, BufferBytes());
    CopyBytes(FeedbackArea, VectorArea, BufferBytes());
    if (UserCopyArea != nullptr) {
        CopyBytes(UserArea, UserCopyArea, static_cast<std::size_t>(UserSize));
    }
}

void TCryptCipher::RequireState(std::initializer_list<CipherState> allowed) const {
    if (std::find(allowed.begin(), allowed.end(), CurrentState) != allowed.end()) {
        return;
    }
    throw ECryptException(CurrentState == StatePadded ? CryptMessages::CipherPadded
                                                      : CryptMessages::InvalidState);
}

void TCryptCipher::Encode(const void* source, void* destination, std::size_t length) {
    RequireState({StateInitialized, StateEncoding, StateFinished});
    const auto* in = static_cast<const std::uint8_t*>(source);
    auto* out = static_cast<std::uint8_t*>(destination);
    switch (CurrentMode) {
        case cmCTSx:
            EncodeCTSx(in, out, length);
            break;
        case cmCBCx:
            EncodeCBCx(in, out, length);
            break;
        case cmCFB8:
            EncodeCFB8(in, out, length);
            break;
        case cmCFBx:
            EncodeCFBx(in, out, length);
            break;
        case cmOFB8:
            EncodeOFB8(in, out, length);
            break;
        case cmOFBx:
            EncodeOFBx(in, out, length);
            break;
        case cmCFS8:
            EncodeCFS8(in, out, length);
            break;
        case cmCFSx:
            EncodeCFSx(in, out, length);
            break;
        case cmECBx:
            EncodeECBx(in, out, length);
            break;
    }
}

// --- TCryptCipher: chaining modes ---------------------------------------------------------

void TCryptCipher::ShiftFeedback(std::uint8_t incoming) {
    std::memmove(FeedbackArea, FeedbackArea + 1, BufferBytes() - 1);
    FeedbackArea[BufferBytes() - 1] = incoming;
}

void TCryptCipher::EncodeCBCx(const std::uint8_t* source, std::uint8_t* destination,
                              std::size_t length) {
    const std::size_t block = BufferBytes();
    const std::size_t blocks = length / block;
    const std::size_t i = blocks * block;
    if (blocks > 0) {
        EncodeChainedBlocks(source, destination, blocks, FeedbackArea);
        CopyBytes(FeedbackArea, destination + i - block, block);
    }
    if (i < length) {
        EncodeCFB8(source + i, destination + i, length - i);
        CurrentState = StatePadded;
    } else {
        CurrentState = StateEncoding;
    }
}

void TCryptCipher::EncodeChainedBlocks(const std::uint8_t* source, std::uint8_t* destination,
                                       std::size_t count, const std::uint8_t* chain) {
    const std::size_t block = BufferBytes();
    for (std::size_t n = 0; n < count; ++n, source += block, destination += block) {
        XorBytes(source, chain, block, destination);
        EncodeBlock(destination, destination, block);
        chain = destination;
    }
}

void TCryptCipher::EncodeCTSx(const std::uint8_t* source, std::uint8_t* destination,
                              std::size_t length) {
    const std::size_t block = BufferBytes();
    std::size_t i = 0;
    for (; i + block <= length; i += block) {
        XorBytes(source + i, FeedbackArea, block, destination + i);
        EncodeBlock(destination + i, destination + i, block);
        XorBytes(FeedbackArea, destination + i, block, FeedbackArea);
    }
    if (i < length) {
        EncodeCFS8(source + i, destination + i, length - i);
        CurrentState = StatePadded;
    } else {
        CurrentState = StateEncoding;
    }
}

void TCryptCipher::EncodeCFB8(const std::uint8_t* source, std::uint8_t* destination,
                              std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        EncodeBlock(FeedbackArea, BufferArea, BufferBytes());
        const auto output = static_cast<std::uint8_t>(source[i] ^ BufferArea[0]);
        ShiftFeedback(output);
        destination[i] = output;
    }
    CurrentState = StateEncoding;
}

void TCryptCipher::EncodeOFB8(const std::uint8_t* source, std::uint8_t* destination,
                              std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        EncodeBlock(FeedbackArea, BufferArea, BufferBytes());
        ShiftFeedback(BufferArea[0]);
        destination[i] = static_cast<std::uint8_t>(source[i] ^ BufferArea[0]);
    }
    CurrentState = StateEncoding;
}

void TCryptCipher::EncodeCFS8(const std::uint8_t* source, std::uint8_t* destination,
                              std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        EncodeBlock(FeedbackArea, BufferArea, BufferBytes());
        const auto output = static_cast<std::uint8_t>(source[i] ^ BufferArea[0]);
        // The last register byte keeps its old value through the shift and takes the xor.
        ShiftFeedback(static_cast<std::uint8_t>(FeedbackArea[BufferBytes() - 1] ^ output));
        destination[i] = output;
    }
    CurrentState = StateEncoding;
}

void TCryptCipher::EncodeCFBx(const std::uint8_t* source, std::uint8_t* destination,
                              std::size_t length) {
    CurrentState = StateEncoding;
    const std::size_t block = BufferBytes();
    std::size_t i = 0;
    if (BufferUsed > 0) {
        const auto used = static_cast<std::size_t>(BufferUsed);
        const std::size_t count = std::min(block - used, length);
        XorBytes(source, BufferArea + used, count, destination);
        CopyBytes(FeedbackArea + used, destination, count);
        BufferUsed += static_cast<std::int32_t>(count);
        if (BufferUsed < BufferSize) {
            return;
        }
        i = count;
        BufferUsed = 0;
    }
    const std::uint8_t* chain = FeedbackArea;
    for (; i + block < length; i += block) {
        EncodeBlock(chain, BufferArea, block);
        XorBytes(source + i, BufferArea, block, destination + i);
        chain = destination + i;
    }
    if (chain != FeedbackArea) {
        CopyBytes(FeedbackArea, chain, block);
    }
    if (i < length) {
        const std::size_t rest = length - i;
        EncodeBlock(FeedbackArea, BufferArea, block);
        XorBytes(source + i, BufferArea, rest, destination + i);
        CopyBytes(FeedbackArea, destination + i, rest);
        BufferUsed = static_cast<std::int32_t>(rest);
    }
}

void TCryptCipher::EncodeOFBx(const std::uint8_t* source, std::uint8_t* destination,
                              std::size_t length) {
    CurrentState = StateEncoding;
    const std::size_t block = BufferBytes();
    std::size_t i = 0;
    if (BufferUsed > 0) {
        const auto used = static_cast<std::size_t>(BufferUsed);
        const std::size_t count = std::min(block - used, length);
        XorBytes(source, FeedbackArea + used, count, destination);
        BufferUsed += static_cast<std::int32_t>(count);
        if (BufferUsed < BufferSize) {
            return;
        }
        i = count;
        BufferUsed = 0;
    }
    for (; i + block < length; i += block) {
        EncodeBlock(FeedbackArea, FeedbackArea, block);
        XorBytes(source + i, FeedbackArea, block, destination + i);
    }
    if (i < length) {
        const std::size_t rest = length - i;
        EncodeBlock(FeedbackArea, FeedbackArea, block);
        XorBytes(source + i, FeedbackArea, rest, destination + i);
        BufferUsed = static_cast<std::int32_t>(rest);
    }
}

void TCryptCipher::EncodeCFSx(const std::uint8_t* source, std::uint8_t* destination,
                              std::size_t length) {
    CurrentState = StateEncoding;
    const std::size_t block = BufferBytes();
    std::size_t i = 0;
    if (BufferUsed > 0) {
        const auto used = static_cast<std::size_t>(BufferUsed);
        const std::size_t count = std::min(block - used, length);
        XorBytes(source, BufferArea + used, count, destination);
        XorBytes(FeedbackArea + used, destination, count, FeedbackArea + used);
        BufferUsed += static_cast<std::int32_t>(count);
        if (BufferUsed < BufferSize) {
            return;
        }
        i = count;
        BufferUsed = 0;
    }
    for (; i + block < length; i += block) {
        EncodeBlock(FeedbackArea, BufferArea, block);
        XorBytes(source + i, BufferArea, block, destination + i);
        XorBytes(FeedbackArea, destination + i, block, FeedbackArea);
    }
    if (i < length) {
        const std::size_t rest = length - i;
        EncodeBlock(FeedbackArea, BufferArea, block);
        XorBytes(source + i, BufferArea, rest, destination + i);
        XorBytes(FeedbackArea, destination + i, rest, FeedbackArea);
        BufferUsed = static_cast<std::int32_t>(rest);
    }
}

void TCryptCipher::EncodeECBx(const std::uint8_t* source, std::uint8_t* destination,
                              std::size_t length) {
    const auto cipherBlock = static_cast<std::size_t>(Context().BlockSize);
    if (cipherBlock == 1) {
        EncodeBlock(source, destination, length);
        CurrentState = StateEncoding;
        return;
    }
    const std::size_t block = BufferBytes();
    std::size_t i = 0;
    for (; i + block <= length; i += block) {
        EncodeBlock(source + i, destination + i, block);
    }
    const std::size_t rest = length - i;
    if (rest > 0 && rest % cipherBlock != 0) {
        CurrentState = StatePadded;
        throw ECryptException(CryptMessages::InvalidMessageLength,
                              {CipherModeName(cmECBx), std::to_string(cipherBlock)});
    }
    if (rest > 0) {
        EncodeBlock(source + i, destination + i, rest);
    }
    CurrentState = StateEncoding;
}

// --- TCipher_Rijndael ---------------------------------------------------------------------

namespace {

using RijndaelData::DecryptTables;
using RijndaelData::EncryptTables;

inline std::uint32_t LoadWord(const std::uint8_t* bytes) {
    std::uint32_t word;
    std::memcpy(&word, bytes, 4);
    return word;
}

inline void StoreWord(std::uint8_t* bytes, std::uint32_t word) {
    std::memcpy(bytes, &word, 4);
}

inline std::uint32_t Byte0(std::uint32_t w) {
    return w & 0xFF;
}
inline std::uint32_t Byte1(std::uint32_t w) {
    return (w >> 8) & 0xFF;
}
inline std::uint32_t Byte2(std::uint32_t w) {
    return (w >> 16) & 0xFF;
}
inline std::uint32_t Byte3(std::uint32_t w) {
    return w >> 24;
}

std::uint32_t SubWord(std::uint32_t w) {
    const std::uint8_t* s = RijndaelData::SBox();
    return std::uint32_t{s[Byte0(w)]} | (std::uint32_t{s[Byte1(w)]} << 8) |
           (std::uint32_t{s[Byte2(w)]} << 16) | (std::uint32_t{s[Byte3(w)]} << 24);
}

// The inverse column mix of one round key word, through the decryption tables.
std::uint32_t InverseMixWord(std::uint32_t w) {
    const std::uint8_t* s = RijndaelData::SBox();
    return DecryptTables[0][s[Byte0(w)]] ^ DecryptTables[1][s[Byte1(w)]] ^
           DecryptTables[2][s[Byte2(w)]] ^ DecryptTables[3][s[Byte3(w)]];
}

}  // namespace

const TCipherClass* TCipher_Rijndael::ClassRef() {
    return &RijndaelClass;
}

TCipher_Rijndael::TCipher_Rijndael() : TCryptCipher(RijndaelClass.Context) {}

void TCipher_Rijndael::SetupKey(const std::uint8_t* key, std::size_t length) {
    RoundCount = length <= 16 ? 10 : length <= 24 ? 12 : 14;
    const int keyWords = RoundCount - 6;  // 4, 6 or 8
    const int totalWords = 4 * (RoundCount + 1);

    std::uint32_t* w = EncryptionKeys();
    std::memset(w, 0, 32);
    CopyBytes(w, key, length);
    for (int i = keyWords; i < totalWords; ++i) {
        std::uint32_t temp = w[i - 1];
        if (i % keyWords == 0) {
            // RotWord moves byte 0 to the top: a right rotation of the little-endian word.
            temp = SubWord(std::rotr(temp, 8)) ^ RijndaelData::RoundConstants[i / keyWords - 1];
        } else if (keyWords == 8 && i % 8 == 4) {
            temp = SubWord(temp);
        }
        w[i] = w[i - keyWords] ^ temp;
    }

    std::uint32_t* d = DecryptionKeys();
    std::memcpy(d, w, ScheduleWords * sizeof(std::uint32_t));
    for (int i = 4; i < 4 * RoundCount; ++i) {
        d[i] = InverseMixWord(d[i]);
    }
}

namespace {

struct TState {
    std::uint32_t W0, W1, W2, W3;
};

inline TState LoadState(const void* bytes) {
    const auto* b = static_cast<const std::uint8_t*>(bytes);
    return {LoadWord(b), LoadWord(b + 4), LoadWord(b + 8), LoadWord(b + 12)};
}

inline void StoreState(void* bytes, const TState& s) {
    auto* b = static_cast<std::uint8_t*>(bytes);
    StoreWord(b, s.W0);
    StoreWord(b + 4, s.W1);
    StoreWord(b + 8, s.W2);
    StoreWord(b + 12, s.W3);
}

// The cipher on a state held in four words: round key 0, the table rounds, the last round.
[[gnu::always_inline]] inline TState EncryptState(TState in, const std::uint32_t* key, int rounds) {
    const auto& T0 = EncryptTables[0];
    const auto& T1 = EncryptTables[1];
    const auto& T2 = EncryptTables[2];
    const auto& T3 = EncryptTables[3];
    std::uint32_t s0 = in.W0 ^ key[0];
    std::uint32_t s1 = in.W1 ^ key[1];
    std::uint32_t s2 = in.W2 ^ key[2];
    std::uint32_t s3 = in.W3 ^ key[3];
    for (int round = 1; round < rounds; ++round) {
        key += 4;
        const std::uint32_t t0 =
            T0[Byte0(s0)] ^ T1[Byte1(s1)] ^ T2[Byte2(s2)] ^ T3[Byte3(s3)] ^ key[0];
        const std::uint32_t t1 =
            T0[Byte0(s1)] ^ T1[Byte1(s2)] ^ T2[Byte2(s3)] ^ T3[Byte3(s0)] ^ key[1];
        const std::uint32_t t2 =
            T0[Byte0(s2)] ^ T1[Byte1(s3)] ^ T2[Byte2(s0)] ^ T3[Byte3(s1)] ^ key[2];
        const std::uint32_t t3 =
            T0[Byte0(s3)] ^ T1[Byte1(s0)] ^ T2[Byte2(s1)] ^ T3[Byte3(s2)] ^ key[3];
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }
    key += 4;
    const std::uint8_t* s = RijndaelData::SBox();
    const auto last = [s](std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
        return std::uint32_t{s[Byte0(a)]} | (std::uint32_t{s[Byte1(b)]} << 8) |
               (std::uint32_t{s[Byte2(c)]} << 16) | (std::uint32_t{s[Byte3(d)]} << 24);
    };
    return {last(s0, s1, s2, s3) ^ key[0], last(s1, s2, s3, s0) ^ key[1],
            last(s2, s3, s0, s1) ^ key[2], last(s3, s0, s1, s2) ^ key[3]};
}

}  // namespace

void TCipher_Rijndael::EncodeBlock(const void* source, void* destination, std::size_t length) {
    assert(length == 16);
    (void)length;
#if NORVA_CRYPT_ACCEL
    if (CryptAccel::ActiveAesPath() == CryptAccel::AesPath::AesNi) {
        CryptAccel::AesEncryptBlock(EncryptionKeys(), RoundCount,
                                    static_cast<const std::uint8_t*>(source),
                                    static_cast<std::uint8_t*>(destination));
        return;
    }
#endif
    StoreState(destination, EncryptState(LoadState(source), EncryptionKeys(), RoundCount));
}

void TCipher_Rijndael::EncodeChainedBlocks(const std::uint8_t* source, std::uint8_t* destination,
                                           std::size_t count, const std::uint8_t* chain) {
#if NORVA_CRYPT_ACCEL
    if (CryptAccel::ActiveAesPath() == CryptAccel::AesPath::AesNi) {
        CryptAccel::AesEncryptChained(EncryptionKeys(), RoundCount, source, destination, count,
                                      chain);
        return;
    }
#endif
    // The chaining value stays in registers from block to block.
    TState value = LoadState(chain);
    const std::uint32_t* key = EncryptionKeys();
    for (std::size_t i = 0; i < count; ++i, source += 16, destination += 16) {
        const TState in = LoadState(source);
        value =
            EncryptState({in.W0 ^ value.W0, in.W1 ^ value.W1, in.W2 ^ value.W2, in.W3 ^ value.W3},
                         key, RoundCount);
        StoreState(destination, value);
    }
}

void TCipher_Rijndael::DecodeBlock(const void* source, void* destination, std::size_t length) {
    assert(length == 16);
    (void)length;
#if NORVA_CRYPT_ACCEL
    if (CryptAccel::ActiveAesPath() == CryptAccel::AesPath::AesNi) {
        CryptAccel::AesDecryptBlock(DecryptionKeys(), RoundCount,
                                    static_cast<const std::uint8_t*>(source),
                                    static_cast<std::uint8_t*>(destination));
        return;
    }
#endif
    const auto& T0 = DecryptTables[0];
    const auto& T1 = DecryptTables[1];
    const auto& T2 = DecryptTables[2];
    const auto& T3 = DecryptTables[3];
    const std::uint32_t* key = DecryptionKeys() + 4 * RoundCount;
    const auto* in = static_cast<const std::uint8_t*>(source);

    std::uint32_t s0 = LoadWord(in) ^ key[0];
    std::uint32_t s1 = LoadWord(in + 4) ^ key[1];
    std::uint32_t s2 = LoadWord(in + 8) ^ key[2];
    std::uint32_t s3 = LoadWord(in + 12) ^ key[3];
    for (int round = RoundCount - 1; round > 0; --round) {
        key -= 4;
        const std::uint32_t t0 =
            T0[Byte0(s0)] ^ T1[Byte1(s3)] ^ T2[Byte2(s2)] ^ T3[Byte3(s1)] ^ key[0];
        const std::uint32_t t1 =
            T0[Byte0(s1)] ^ T1[Byte1(s0)] ^ T2[Byte2(s3)] ^ T3[Byte3(s2)] ^ key[1];
        const std::uint32_t t2 =
            T0[Byte0(s2)] ^ T1[Byte1(s1)] ^ T2[Byte2(s0)] ^ T3[Byte3(s3)] ^ key[2];
        const std::uint32_t t3 =
            T0[Byte0(s3)] ^ T1[Byte1(s2)] ^ T2[Byte2(s1)] ^ T3[Byte3(s0)] ^ key[3];
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }
    key -= 4;
    const std::uint8_t* s = RijndaelData::InverseSBox();
    const auto last = [s](std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
        return std::uint32_t{s[Byte0(a)]} | (std::uint32_t{s[Byte1(b)]} << 8) |
               (std::uint32_t{s[Byte2(c)]} << 16) | (std::uint32_t{s[Byte3(d)]} << 24);
    };
    auto* out = static_cast<std::uint8_t*>(destination);
    StoreWord(out, last(s0, s3, s2, s1) ^ key[0]);
    StoreWord(out + 4, last(s1, s0, s3, s2) ^ key[1]);
    StoreWord(out + 8, last(s2, s1, s0, s3) ^ key[2]);
    StoreWord(out + 12, last(s3, s2, s1, s0) ^ key[3]);
}
