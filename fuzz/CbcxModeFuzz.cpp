// cmCBCx of Rijndael, the mode of the log signature, over any key, vector and message:
// one call, whole-block pieces then the tail, and chaining by hand over EncodeBlock give the
// same ciphertext; decrypting it with DecodeBlock gives the message back; the state and the
// chaining register end as the mode says.

#include <array>
#include <cstring>
#include <memory>
#include <string>

#include "crypto/CryptCipher.h"
#include "fuzz/FuzzSupport.h"

namespace {

constexpr size_t Block = 16;
using TBlock = std::array<uint8_t, Block>;

struct TSetup {
    std::string Key;
    std::string Vector;
    uint8_t Filler;
};

std::unique_ptr<TCryptCipher> NewCipher(const TSetup& setup) {
    auto cipher = TCipher_Rijndael::ClassRef()->Create();
    cipher->SetMode(cmCBCx);
    cipher->Init(setup.Key, setup.Vector, setup.Filler);
    return cipher;
}

TBlock InitialVector(const TCryptCipher& cipher) {
    TBlock vector;
    FUZZ_CHECK(cipher.Vector().size() == Block);
    std::memcpy(vector.data(), cipher.Vector().data(), Block);
    return vector;
}

void XorInto(uint8_t* target, const uint8_t* other) {
    for (size_t i = 0; i < Block; ++i) {
        target[i] ^= other[i];
    }
}

// The 8-bit cipher feedback of a tail: the register shifts in the ciphertext byte.
uint8_t Cfb8KeyByte(TCryptCipher& cipher, TBlock& feedback, uint8_t cipherByte) {
    TBlock stream;
    cipher.EncodeBlock(feedback.data(), stream.data(), Block);
    std::memmove(feedback.data(), feedback.data() + 1, Block - 1);
    feedback[Block - 1] = cipherByte;
    return stream[0];
}

std::string EncodeByHand(TCryptCipher& cipher, const std::string& message) {
    TBlock feedback = InitialVector(cipher);
    std::string out = message;
    auto* bytes = reinterpret_cast<uint8_t*>(out.data());
    const size_t whole = message.size() / Block * Block;
    for (size_t i = 0; i < whole; i += Block) {
        XorInto(bytes + i, feedback.data());
        cipher.EncodeBlock(bytes + i, bytes + i, Block);
        std::memcpy(feedback.data(), bytes + i, Block);
    }
    for (size_t i = whole; i < out.size(); ++i) {
        TBlock stream;
        cipher.EncodeBlock(feedback.data(), stream.data(), Block);
        bytes[i] ^= stream[0];
        std::memmove(feedback.data(), feedback.data() + 1, Block - 1);
        feedback[Block - 1] = bytes[i];
    }
    return out;
}

std::string DecodeByHand(TCryptCipher& cipher, const std::string& ciphertext) {
    TBlock feedback = InitialVector(cipher);
    std::string out = ciphertext;
    auto* bytes = reinterpret_cast<uint8_t*>(out.data());
    const size_t whole = ciphertext.size() / Block * Block;
    for (size_t i = 0; i < whole; i += Block) {
        TBlock previous = feedback;
        std::memcpy(feedback.data(), bytes + i, Block);
        cipher.DecodeBlock(bytes + i, bytes + i, Block);
        XorInto(bytes + i, previous.data());
    }
    for (size_t i = whole; i < out.size(); ++i) {
        bytes[i] ^= Cfb8KeyByte(cipher, feedback, bytes[i]);
    }
    return out;
}

// Whole-block pieces of fuzzer-chosen sizes, in place, then the tail in one call.
std::string EncodeInPieces(TCryptCipher& cipher, const std::string& message, TFuzzInput& sizes) {
    std::string out = message;
    const size_t whole = message.size() / Block * Block;
    size_t done = 0;
    while (done < whole) {
        const size_t piece = std::min<size_t>(Block * (1 + sizes.Byte() % 4), whole - done);
        cipher.Encode(out.data() + done, out.data() + done, piece);
        FUZZ_CHECK(cipher.State() == StateEncoding);
        done += piece;
    }
    cipher.Encode(out.data() + done, out.data() + done, out.size() - done);
    return out;
}

void CheckClosedByTail(TCryptCipher& cipher, size_t length) {
    if (length % Block == 0) {
        FUZZ_CHECK(cipher.State() == StateEncoding);
        return;
    }
    FUZZ_CHECK(cipher.State() == StatePadded);
    uint8_t byte = 0;
    try {
        cipher.Encode(&byte, &byte, 1);
        FUZZ_CHECK(!"an Encode after the tail was accepted");
    } catch (const ECryptException& e) {
        FUZZ_CHECK(std::string_view(e.what()) ==
                   "Cipher has already been padded, cannot process message");
    }
}

// Without a vector the chain starts from the encrypted filler block; a given vector is
// completed with filler bytes and used as it is.
void CheckInitialVector(TCryptCipher& cipher, const TSetup& setup) {
    TBlock expected;
    expected.fill(setup.Filler);
    if (setup.Vector.empty()) {
        cipher.EncodeBlock(expected.data(), expected.data(), Block);
    } else {
        std::memcpy(expected.data(), setup.Vector.data(), setup.Vector.size());
    }
    FUZZ_CHECK(InitialVector(cipher) == expected);
}

TSetup SetupFrom(TFuzzInput& input) {
    TSetup setup;
    setup.Key = input.Bytes(input.Byte() % 33);
    setup.Vector = input.Bytes(input.Byte() % 17);
    setup.Filler = input.Byte();
    return setup;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFuzzInput input(data, size);
    const TSetup setup = SetupFrom(input);
    TFuzzInput pieceSizes(data, std::min<size_t>(size, 64));
    const std::string message = input.Rest();

    auto whole = NewCipher(setup);
    std::string once(message.size(), '\0');
    whole->Encode(message.data(), once.data(), message.size());
    FUZZ_CHECK(once.size() == message.size());
    if (message.size() % Block == 0) {
        // The register holds the last ciphertext block, or the vector for an empty message.
        const size_t last = message.empty() ? 0 : message.size() - Block;
        FUZZ_CHECK(std::memcmp(whole->Feedback().data(),
                               message.empty()
                                   ? whole->Vector().data()
                                   : reinterpret_cast<const uint8_t*>(once.data() + last),
                               Block) == 0);
    }
    CheckClosedByTail(*whole, message.size());

    auto pieces = NewCipher(setup);
    FUZZ_CHECK(EncodeInPieces(*pieces, message, pieceSizes) == once);
    CheckClosedByTail(*pieces, message.size());

    auto reference = NewCipher(setup);
    CheckInitialVector(*reference, setup);
    FUZZ_CHECK(EncodeByHand(*reference, message) == once);
    FUZZ_CHECK(DecodeByHand(*reference, once) == message);

    // Finish starts the next message from the initial vector with the same key.
    whole->Finish();
    std::string again(message.size(), '\0');
    whole->Encode(message.data(), again.data(), message.size());
    FUZZ_CHECK(again == once);
    return 0;
}
