#include "crypto/Cipher.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <string_view>
#include <thread>
#include <utility>

#include "crypto/CryptCipher.h"
#include "crypto/CryptFmt.h"
#include "crypto/CryptHash.h"
#include "crypto/CryptUtil.h"

#include <cstring>

namespace {

// Key-derivation data used when no password is given: the shared secret of the signature.
constexpr std::string_view DefaultPassword = "Vq3TwKe8RmZpa1YdhN6uGc0LsXjBf5oQ2iMtDn7E";
// Seed text used when no seed text is given.
constexpr std::string_view DefaultSeed = "gH2wZk9PaQe4Rt+Ys7uNvB1cXm6LdJo0pCfEi3Ta";

constexpr TCipherMode SignCipherMode = cmCBCx;
constexpr std::int32_t KeyDerivationIndex = 1;
constexpr std::uint8_t VectorFiller = 0xFF;

// A text shorter than this many pieces is hashed where it is encrypted: starting a thread
// costs more than it gains there.
constexpr std::size_t PiecesBeforeHashThread = 4;

// Hashes the MIME64 pieces on a thread of its own. The pieces wait in a ring of SlotCount
// buffers: the encryption fills the next buffer while the thread hashes those before it, and
// waits when every buffer is taken.
class THashThread {
  public:
    static constexpr std::size_t SlotCount = 4;

    THashThread(TCryptHash& hash, char* slots, std::size_t slotSize)
        : Hash_(hash), Slots_(slots), SlotSize_(slotSize), Thread_([this] { Run(); }) {}
    ~THashThread() { Stop(); }
    THashThread(const THashThread&) = delete;
    THashThread& operator=(const THashThread&) = delete;

    // The buffer for the next piece, once the thread is done with what it held.
    char* NextSlot() {
        std::unique_lock lock(Mutex_);
        Changed_.wait(lock, [this] { return Handed_ - Hashed_ < SlotCount; });
        return Slots_ + (Handed_ % SlotCount) * SlotSize_;
    }

    // Hands over the piece of `length` characters written into the buffer NextSlot gave.
    void Hand(std::size_t length) {
        {
            const std::lock_guard lock(Mutex_);
            Lengths_[Handed_ % SlotCount] = length;
            ++Handed_;
        }
        Changed_.notify_all();
    }

    // Waits until every piece handed over is hashed; raises what the hashing raised.
    void Finish() {
        Stop();
        if (Error_) {
            std::rethrow_exception(Error_);
        }
    }

  private:
    void Stop() {
        if (!Thread_.joinable()) {
            return;
        }
        {
            const std::lock_guard lock(Mutex_);
            Closing_ = true;
        }
        Changed_.notify_all();
        Thread_.join();
    }

    void Run() {
        while (true) {
            std::size_t slot = 0;
            std::size_t length = 0;
            {
                std::unique_lock lock(Mutex_);
                Changed_.wait(lock, [this] { return Hashed_ < Handed_ || Closing_; });
                if (Hashed_ == Handed_) {
                    return;
                }
                slot = Hashed_ % SlotCount;
                length = Lengths_[slot];
            }
            if (!Error_) {
                try {
                    Hash_.UpdateUncounted(Slots_ + slot * SlotSize_, length);
                } catch (...) {
                    Error_ = std::current_exception();
                }
            }
            {
                const std::lock_guard lock(Mutex_);
                ++Hashed_;
            }
            Changed_.notify_all();
        }
    }

    TCryptHash& Hash_;
    char* const Slots_;
    const std::size_t SlotSize_;
    std::mutex Mutex_;
    std::condition_variable Changed_;
    std::array<std::size_t, SlotCount> Lengths_{};
    std::size_t Handed_ = 0;
    std::size_t Hashed_ = 0;
    bool Closing_ = false;
    std::exception_ptr Error_;  // written by the thread only, read after it ended
    std::thread Thread_;        // last: it starts once everything it uses is there
};

}  // namespace

// The pieces are gathered into one buffer of SignPieceSize bytes, encrypted where they stand
// once it is full, and turned into MIME64 text in a second buffer that is hashed. Both
// buffers are wiped as far as they were written before they are released.
class TCipher::TSigning {
  public:
    TSigning(TCryptCipher& cipher, const TFormatClass& format, const THashClass& hashClass,
             bool hashThread)
        : Cipher_(cipher),
          Format_(format),
          TextSlotSize_(format.TextSize(SignPieceSize)),
          HashThread_(hashThread),
          Piece_(std::make_unique_for_overwrite<std::uint8_t[]>(SignPieceSize)),
          Texts_(std::make_unique_for_overwrite<char[]>(TextSlotSize_ *
                                                        (hashThread ? THashThread::SlotCount : 1))),
          Hash_(hashClass.Create()) {
        Hash_->Init();
    }

    ~TSigning() {
        Thread_.reset();
        WipeBuffer(Piece_.get(), static_cast<std::ptrdiff_t>(PieceWritten_));
        const std::size_t slots = HashThread_ ? THashThread::SlotCount : 1;
        for (std::size_t slot = 0; slot < slots; ++slot) {
            WipeBuffer(Texts_.get() + slot * TextSlotSize_,
                       static_cast<std::ptrdiff_t>(TextWritten_));
        }
    }

    TSigning(const TSigning&) = delete;
    TSigning& operator=(const TSigning&) = delete;

    void Add(const std::uint8_t* data, std::size_t count) {
        while (count > 0) {
            const std::size_t taken = std::min(count, SignPieceSize - Used_);
            std::memcpy(Piece_.get() + Used_, data, taken);
            Used_ += taken;
            PieceWritten_ = std::max(PieceWritten_, Used_);
            data += taken;
            count -= taken;
            if (Used_ == SignPieceSize) {
                EncodePiece();
            }
        }
    }

    std::string Finish() {
        if (Used_ > 0) {
            EncodePiece();
        }
        if (Thread_) {
            Thread_->Finish();
        }
        Hash_->CountPiece(TextLength_);
        Hash_->Finish();
        return Hash_->DigestText(TFormat_MIME64::ClassRef());
    }

  private:
    void EncodePiece() {
        if (HashThread_ && !Thread_ && PiecesDone_ == PiecesBeforeHashThread) {
            Thread_ = std::make_unique<THashThread>(*Hash_, Texts_.get(), TextSlotSize_);
        }
        Cipher_.Encode(Piece_.get(), Piece_.get(), Used_);
        const std::size_t textSize = Format_.TextSize(Used_);
        char* text = Thread_ ? Thread_->NextSlot() : Texts_.get();
        Format_.EncodeAt(Piece_.get(), Used_, text);
        TextWritten_ = std::max(TextWritten_, textSize);
        TextLength_ += textSize;
        ++PiecesDone_;
        Used_ = 0;
        if (Thread_) {
            Thread_->Hand(textSize);
        } else {
            Hash_->UpdateUncounted(text, textSize);
        }
    }

    TCryptCipher& Cipher_;
    const TFormatClass& Format_;
    const std::size_t TextSlotSize_;
    const bool HashThread_;
    std::unique_ptr<std::uint8_t[]> Piece_;
    std::unique_ptr<char[]> Texts_;  // one buffer, or the ring of the hash thread
    std::unique_ptr<TCryptHash> Hash_;
    std::unique_ptr<THashThread> Thread_;  // after the buffers and the hash it uses
    std::size_t Used_ = 0;
    std::size_t PieceWritten_ = 0;
    std::size_t TextWritten_ = 0;  // in any one text buffer
    std::size_t TextLength_ = 0;
    std::size_t PiecesDone_ = 0;
};

const TCipherClass* TCipher::SignCipherClass() {
    return TCipher_Rijndael::ClassRef();
}
const THashClass* TCipher::SignHashClass() {
    return THash_SHA1::ClassRef();
}

TCipher::TCipher() = default;

TCipher::~TCipher() {
    Signing.reset();
    WipeText(Password);
    WipeText(Seed);
}

void TCipher::Setup(const std::string& password, const std::string& seedText) {
    TextFormat = TFormat_MIME64::ClassRef();
    // Assigned in place: a temporary copy of a short text would stay behind on the stack.
    WipeText(Password);
    Password.assign(password.empty() ? DefaultPassword : std::string_view(password));
    WipeText(Seed);
    Seed.assign(seedText.empty() ? DefaultSeed : std::string_view(seedText));
    std::string seedDigest = HashToText(Seed);
    WipeText(Seed);
    Seed.swap(seedDigest);
    Cipher.reset();
    Cipher = CipherClassOrDefault(SignCipherClass())->Create();
}

void TCipher::PrepareCipher() {
    if (!Cipher) {
        throw ECryptException(CryptMessages::InvalidState);
    }
    const TCipherContext& context = Cipher->Context();
    Cipher->SetMode(SignCipherMode);
    std::string key = SignHashClass()->DeriveKey(Password, Seed, context.KeySize,
                                                 TFormat_Copy::ClassRef(), KeyDerivationIndex);
    TTextWiper keyWiper(key);
    Cipher->Init(key, {}, VectorFiller);
}

std::string TCipher::EncryptText(const std::string& text) {
    PrepareCipher();
    std::string cipherText(text.size(), '\0');
    TTextWiper cipherTextWiper(cipherText);
    Cipher->Encode(text.data(), cipherText.data(), text.size());
    return TextFormat->Encode(cipherText);
}

std::size_t TCipher::SignBufferSize(std::size_t textSize) {
    return 4 * ((textSize + 2) / 3);
}

std::string TCipher::HashToText(const std::string& text) const {
    return THash_SHA1::ClassRef()->HashText(text, TFormat_MIME64::ClassRef());
}

std::string TCipher::SignText(const std::string& text) {
    BeginSignText();
    SignPiece(text);
    return EndSignText();
}

void TCipher::BeginSignText(bool hashThread) {
    Signing.reset();
    PrepareCipher();
    Signing = std::make_unique<TSigning>(*Cipher, *TextFormat, *SignHashClass(), hashThread);
}

void TCipher::SignPiece(const void* data, std::size_t count) {
    if (!Signing) {
        throw ECryptException(CryptMessages::InvalidState);
    }
    Signing->Add(static_cast<const std::uint8_t*>(data), count);
}

std::string TCipher::EndSignText() {
    if (!Signing) {
        throw ECryptException(CryptMessages::InvalidState);
    }
    const std::unique_ptr<TSigning> signing = std::move(Signing);
    return signing->Finish();
}
