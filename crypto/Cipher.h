#pragma once
// The log signature: Rijndael in cmCBCx, SHA-1 and MIME64 wired into one computation.

#include <cstddef>
#include <memory>
#include <string>

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
    // The same signature from a text the caller gives up: it is encrypted and turned into its
    // MIME64 text within its own storage, which spares two buffers the size of a large log.
    // With a capacity of SignBufferSize(size) no byte is copied.
    std::string SignText(std::string&& text);
    static std::size_t SignBufferSize(std::size_t textSize);

    // The MIME64 text of the SHA-1 digest of the seed text given to Setup.
    const std::string& SeedText() const { return Seed; }

  private:
    void PrepareCipher();
    // Replaces the bytes of `buffer` by the text of their encryption.
    void EncryptInPlace(std::string& buffer);

    std::unique_ptr<TCryptCipher> Cipher;
    std::string Password;
    std::string Seed;
    const TFormatClass* TextFormat = nullptr;
};
