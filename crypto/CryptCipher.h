#pragma once
// Block cipher framework with nine chaining modes, and the Rijndael cipher.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "crypto/CryptUtil.h"

enum TCipherMode : std::uint8_t {
    cmCTSx,  // block chaining with xor-accumulated feedback; tail in cmCFS8
    cmCBCx,  // cipher block chaining; tail in cmCFB8
    cmCFB8,  // 8-bit cipher feedback
    cmCFBx,  // block-wide cipher feedback, continues across calls
    cmOFB8,  // 8-bit output feedback
    cmOFBx,  // block-wide output feedback, continues across calls
    cmCFS8,  // 8-bit cipher feedback, register takes the xor of old and new byte
    cmCFSx,  // block-wide variant of cmCFS8, continues across calls
    cmECBx,  // electronic code book
};

std::string_view CipherModeName(TCipherMode mode);

enum CipherState : std::uint8_t {
    StateNew,
    StateInitialized,
    StateEncoding,
    StateDecoding,
    StatePadded,  // a final partial block closed the message
    StateFinished,
};

struct TCipherContext {
    std::int32_t KeySize;     // largest key in bytes
    std::int32_t BlockSize;   // the cipher's block
    std::int32_t BufferSize;  // size of Vector, Feedback and Buffer
    std::int32_t UserSize;    // the cipher's private area (key schedules)
    bool UserSave;            // keep a copy of the private area to restore after use
};

class TCryptCipher;

// Class reference of a cipher: its context and its virtual constructor.
struct TCipherClass : TCryptClass {
    TCipherContext Context;
    std::unique_ptr<TCryptCipher> (*CreateFn)();  // null for abstract classes

    std::unique_ptr<TCryptCipher> Create() const;
};

// The given cipher class; with none, raises "No default cipher has been registered".
const TCipherClass* CipherClassOrDefault(const TCipherClass* cipherClass);

class TCryptCipher : public TCryptObject {
  public:
    static const TCipherClass* ClassRef();
    ~TCryptCipher() override;

    const TCipherClass* ClassType() const override = 0;
    const TCipherContext& Context() const { return ClassType()->Context; }

    TCipherMode Mode() const { return CurrentMode; }
    void SetMode(TCipherMode mode);
    CipherState State() const { return CurrentState; }

    // Sets up the key and the initial chaining value. Without a vector the initial value is
    // the encryption of a block of filler bytes; a shorter vector is completed with them.
    void Init(const void* key, std::size_t keyLength, const void* vector, std::size_t vectorLength,
              std::uint8_t filler);
    void Init(std::string_view key, std::string_view vector, std::uint8_t filler);

    // Encrypts `length` bytes in the current mode; source and destination may coincide.
    void Encode(const void* source, void* destination, std::size_t length);
    // Closes the current message: the next Encode starts again from the initial vector.
    void Finish();

    // One block of the cipher itself, without chaining.
    virtual void EncodeBlock(const void* source, void* destination, std::size_t length) = 0;
    virtual void DecodeBlock(const void* source, void* destination, std::size_t length) = 0;

    std::span<const std::uint8_t> Vector() const { return {VectorArea, BufferBytes()}; }
    std::span<const std::uint8_t> Feedback() const { return {FeedbackArea, BufferBytes()}; }
    std::int32_t BufferIndex() const { return BufferUsed; }

  protected:
    explicit TCryptCipher(const TCipherContext& context);

    virtual void SetupKey(const std::uint8_t* key, std::size_t length) = 0;
    virtual void WipeState();
    // Cipher block chaining over `count` whole blocks: each block is xored with the previous
    // ciphertext block (the first with `chain`) and encrypted in place in the destination.
    virtual void EncodeChainedBlocks(const std::uint8_t* source, std::uint8_t* destination,
                                     std::size_t count, const std::uint8_t* chain);

    // The cipher's private area, aligned for 32-bit words.
    std::uint32_t* UserWords() { return reinterpret_cast<std::uint32_t*>(UserArea); }
    const std::uint32_t* UserWords() const {
        return reinterpret_cast<const std::uint32_t*>(UserArea);
    }

  private:
    std::size_t BufferBytes() const { return static_cast<std::size_t>(BufferSize); }
    void RequireState(std::initializer_list<CipherState> allowed) const;

    void EncodeCBCx(const std::uint8_t* source, std::uint8_t* destination, std::size_t length);
    void EncodeCTSx(const std::uint8_t* source, std::uint8_t* destination, std::size_t length);
    void EncodeCFB8(const std::uint8_t* source, std::uint8_t* destination, std::size_t length);
    void EncodeOFB8(const std::uint8_t* source, std::uint8_t* destination, std::size_t length);
    void EncodeCFS8(const std::uint8_t* source, std::uint8_t* destination, std::size_t length);
    void EncodeCFBx(const std::uint8_t* source, std::uint8_t* destination, std::size_t length);
    void EncodeOFBx(const std::uint8_t* source, std::uint8_t* destination, std::size_t length);
    void EncodeCFSx(const std::uint8_t* source, std::uint8_t* destination, std::size_t length);
    void EncodeECBx(const std::uint8_t* source, std::uint8_t* destination, std::size_t length);
    void ShiftFeedback(std::uint8_t incoming);

    CipherState CurrentState = StateNew;
    TCipherMode CurrentMode = cmCTSx;
    // One block holds all working memory: Vector, Feedback, Buffer, User and UserCopy.
    std::unique_ptr<std::uint32_t[]> DataArea;
    std::int32_t DataSize = 0;
    std::int32_t BufferSize = 0;
    std::int32_t BufferUsed = 0;
    std::int32_t UserSize = 0;
    std::uint8_t* BufferArea = nullptr;  // last encrypted register value (key stream block)
    std::uint8_t* VectorArea = nullptr;
    std::uint8_t* FeedbackArea = nullptr;
    std::uint8_t* UserArea = nullptr;
    std::uint8_t* UserCopyArea = nullptr;
};

// Rijndael with 128-bit blocks; keys of up to 32 bytes are zero-extended to 16, 24 or 32
// bytes, so 16-, 24- and 32-byte keys give AES-128, AES-192 and AES-256.
class TCipher_Rijndael : public TCryptCipher {
  public:
    static const TCipherClass* ClassRef();
    TCipher_Rijndael();
    const TCipherClass* ClassType() const override { return ClassRef(); }

    std::int32_t Rounds() const { return RoundCount; }

    void EncodeBlock(const void* source, void* destination, std::size_t length) override;
    void DecodeBlock(const void* source, void* destination, std::size_t length) override;

  protected:
    void SetupKey(const std::uint8_t* key, std::size_t length) override;
    void EncodeChainedBlocks(const std::uint8_t* source, std::uint8_t* destination,
                             std::size_t count, const std::uint8_t* chain) override;

  private:
    static constexpr int ScheduleWords = 60;
    std::uint32_t* EncryptionKeys() { return UserWords(); }
    std::uint32_t* DecryptionKeys() { return UserWords() + ScheduleWords; }

    std::int32_t RoundCount = 0;
};
