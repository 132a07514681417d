#pragma once
// The log signature: Rijndael in cmCBCx, SHA-1 and MIME64 wired into one computation.

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
    // The same signature from a text the caller gives up: it is encrypted in its own storage,
    // wiped and released before the hashing, which spares a copy the size of a large log.
    std::string SignText(std::string&& text);

    // The MIME64 text of the SHA-1 digest of the seed text given to Setup.
    const std::string& SeedText() const { return Seed; }

  private:
    void PrepareCipher();
    // Encrypts the bytes of `buffer` in place and returns their text; wipes the buffer.
    std::string EncryptInPlace(std::string& buffer);

    std::unique_ptr<TCryptCipher> Cipher;
    std::string Password;
    std::string Seed;
    const TFormatClass* TextFormat = nullptr;
};
