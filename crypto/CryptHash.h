#pragma once
// Hash framework: incremental hashing with a bit counter, SHA-1 and key derivation.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "crypto/CryptFmt.h"
#include "crypto/CryptUtil.h"

class TCryptHash;

// Class reference of a hash: sizes, the virtual constructor and the class operations.
struct THashClass : TCryptClass {
    std::int32_t DigestSize;
    std::int32_t BlockSize;
    std::unique_ptr<TCryptHash> (*CreateFn)();  // null for abstract classes

    std::unique_ptr<TCryptHash> Create() const;

    // Digest of the bytes, as text in the given format (no format: the raw digest bytes).
    std::string HashBuffer(const void* data, std::size_t count, const TFormatClass* format) const;
    std::string HashText(std::string_view text, const TFormatClass* format) const;

    // A key of `outputLength` bytes; each byte is the xor of the digest bytes of a hash
    // over its position, all earlier key bytes, the index, the seed and the data.
    std::string DeriveKey(const void* data, std::ptrdiff_t dataLength, const void* seed,
                          std::ptrdiff_t seedLength, std::ptrdiff_t outputLength,
                          const TFormatClass* format, std::int32_t index) const;
    std::string DeriveKey(std::string_view data, std::string_view seed, std::ptrdiff_t outputLength,
                          const TFormatClass* format, std::int32_t index) const;
};

// The given hash class; with none, raises "No default hash are registered".
const THashClass* HashClassOrDefault(const THashClass* hashClass);

class TCryptHash : public TCryptObject {
  public:
    static constexpr int BitCountWords = 8;
    using TBitCount = std::array<std::uint32_t, BitCountWords>;

    static const THashClass* ClassRef();
    ~TCryptHash() override;

    const THashClass* ClassType() const override = 0;

    void Init();
    void Update(const void* data, std::size_t count);
    void Update(std::string_view bytes) { Update(bytes.data(), bytes.size()); }
    // A message hashed in pieces with the bit count of one Update over all of it: each piece
    // through UpdateUncounted, and the whole length through CountPiece once. A piece of 2^25
    // bytes or more counts with a surplus, so pieces counted one by one would give another
    // digest for such a message.
    void UpdateUncounted(const void* data, std::size_t count);
    void CountPiece(std::size_t count);
    void Finish();
    // Takes over the running state of `other`, an initialised hash of the same class, so that
    // both go on from the same point: messages that share a beginning hash it only once.
    virtual void CopyStateFrom(const TCryptHash& other);

    // Address of the digest bytes; DigestSize() of them are valid after Finish.
    virtual const std::uint8_t* Digest() const = 0;
    std::string DigestText(const TFormatClass* format) const;
    std::int32_t DigestSize() const { return ClassType()->DigestSize; }
    std::int32_t BlockSize() const { return ClassType()->BlockSize; }

    // First byte of the padding; 0 stands for 0x80.
    std::uint8_t PaddingByte() const { return Padding; }
    void SetPaddingByte(std::uint8_t value) { Padding = value; }

    const TBitCount& BitCount() const { return Bits; }
    bool Initialized() const { return Buffer != nullptr; }

  protected:
    TCryptHash() = default;

    virtual void TransformBlock(const std::uint8_t* block) = 0;
    // `count` consecutive blocks; a hash with a faster way through many blocks overrides it.
    virtual void TransformBlocks(const std::uint8_t* blocks, std::size_t count);
    virtual void InitDigest() = 0;
    virtual void FinishDigest() = 0;

    // Padding and the 64-bit bit length at the end of the block, in the given byte order.
    void PadFinalBlock(bool bigEndianLength);

    TBitCount Bits{};
    std::unique_ptr<std::uint8_t[]> Buffer;
    std::int32_t BufferSize = 0;
    std::int32_t BufferIndex = 0;
    std::uint8_t Padding = 0;

  private:
    void CountBits(std::size_t count);
    void ReleaseBuffer();
};

// Family base of MD4-like hashes: 64-byte blocks, up to ten chaining words.
class THashBaseMD4 : public TCryptHash {
  public:
    static const THashClass* ClassRef();
    ~THashBaseMD4() override;

    const std::uint8_t* Digest() const override;

  protected:
    THashBaseMD4() = default;

    void InitDigest() override;
    void FinishDigest() override;

  public:
    void CopyStateFrom(const TCryptHash& other) override;

  protected:
    std::array<std::uint32_t, 10> DigestWords{};
};

// The first SHA of FIPS 180 (no rotation in its schedule) when the object is exactly of this
// class; SHA-1 for every descendant.
class THash_SHA : public THashBaseMD4 {
  public:
    static const THashClass* ClassRef();
    THash_SHA() = default;
    const THashClass* ClassType() const override { return ClassRef(); }

    void CopyStateFrom(const TCryptHash& other) override;

  protected:
    void InitDigest() override;
    void TransformBlock(const std::uint8_t* block) override;
    void TransformBlocks(const std::uint8_t* blocks, std::size_t count) override;
    void FinishDigest() override;

  private:
    bool RotateSchedule = true;
};

class THash_SHA1 : public THash_SHA {
  public:
    static const THashClass* ClassRef();
    THash_SHA1() = default;
    const THashClass* ClassType() const override { return ClassRef(); }
};
