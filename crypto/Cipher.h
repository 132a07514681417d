#pragma once
// The log signature: Rijndael in cmCBCx, SHA-1 and MIME64 wired into one computation.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TCryptCipher;
struct TCipherClass;
struct THashClass;
struct TFormatClass;

class TCipher {
  public:
    static const TCipherClass* SignCipherClass();
    static const THashClass* SignHashClass();

    TCipher();
    ~TCipher();
    TCipher(const TCipher&) = delete;
    TCipher& operator=(const TCipher&) = delete;

    void Setup(const std::string& password, const std::string& seedText);
    std::string EncryptText(const std::string& text);
    std::string HashToText(const std::string& text) const;
    std::string SignText(const std::string& text);
    // The length of the MIME64 text of the ciphertext, which the signature hashes as one
    // message: from 2^25 on, its bit count carries the surplus of a piece that long.
    static std::size_t SignBufferSize(std::size_t textSize);

    // The signature of a text handed over in pieces of any size: BeginSignText, SignPiece for
    // each piece in order, EndSignText. It is the signature SignText gives for the whole text;
    // the text runs through encryption, MIME64 and SHA-1 in pieces of SignPieceSize bytes, so
    // the memory needed stays the same whatever its length. With `hashThread` the MIME64 and
    // SHA-1 of a long text run on a thread of its own beside the encryption.
    void BeginSignText(bool hashThread = false);
    void SignPiece(const void* data, std::size_t count);
    void SignPiece(std::string_view piece) { SignPiece(piece.data(), piece.size()); }
    std::string EndSignText();
    // A multiple of the cipher's block and of the three bytes of a MIME64 group, so that only
    // the last piece has a partial block or padding; small enough to stay in the cache.
    static constexpr std::size_t SignPieceSize = 96 * 1024;

    // The signatures SignText gives for the first lengths[i] bytes of the text, the lengths
    // ascending and none beyond its end. The text is encrypted and hashed once: each length
    // adds only its final partial block and the last MIME64 group before it, so that many
    // lengths cost little more than one signature.
    std::vector<std::string> SignPrefixes(std::string_view text,
                                          const std::vector<std::size_t>& lengths);

    // The MIME64 text of the SHA-1 digest of the seed text given to Setup.
    const std::string& SeedText() const { return Seed; }

  private:
    class TSigning;

    void PrepareCipher();

    std::unique_ptr<TCryptCipher> Cipher;
    std::unique_ptr<TSigning> Signing;
    std::string Password;
    std::string Seed;
    const TFormatClass* TextFormat = nullptr;
};
