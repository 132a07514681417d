#pragma once
// Contract used by the signature verdict; the crypto implementation fills this in.

#include <memory>
#include <string>

class TCryptCipher;

// Wires Rijndael in cmCBCx, SHA-1 and MIME64 into the log signature.
class TCipher {
public:
    TCipher();
    ~TCipher();
    TCipher(const TCipher&) = delete;
    TCipher& operator=(const TCipher&) = delete;

    void Setup(const std::string& password, const std::string& seedText);
    std::string EncryptText(const std::string& text);
    std::string HashToText(const std::string& text) const;
    std::string SignText(const std::string& text);

private:
    void PrepareCipher();

    std::unique_ptr<TCryptCipher> Cipher;
    std::string Password;
    std::string Seed;
};
