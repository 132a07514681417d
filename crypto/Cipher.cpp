#include "crypto/Cipher.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <utility>

#include "crypto/CryptCipher.h"
#include "crypto/CryptFmt.h"
#include "crypto/CryptHash.h"
#include "crypto/CryptUtil.h"

#include <cstring>
#include <stdexcept>

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

// Turns the encrypted pieces into MIME64 text and hashes it on a thread of its own, so that the
// encrypting thread does nothing but gather and encrypt. The pieces wait in a ring of SlotCount
// buffers: the encryption fills the next buffer while the thread works on those before it, and
// waits when every buffer is taken. A thread that ran out of work sleeps until WakeBatch pieces
// are waiting: the encryption is slower than the hashing, so the thread runs dry after nearly
// every piece, and waking it costs microseconds each time.
class THashThread {
  public:
    static constexpr std::size_t SlotCount = 8;
    static constexpr std::size_t WakeBatch = SlotCount / 2;
    using TWork = std::function<void(const std::uint8_t* piece, std::size_t count)>;

    THashThread(std::uint8_t* slots, std::size_t slotSize, TWork work)
        : Slots_(slots), SlotSize_(slotSize), Work_(std::move(work)), Thread_([this] { Run(); }) {}
    ~THashThread() { Stop(); }
    THashThread(const THashThread&) = delete;
    THashThread& operator=(const THashThread&) = delete;

    // The buffer for the next piece, once the thread is done with what it held.
    std::uint8_t* NextSlot() {
        std::unique_lock lock(Mutex_);
        if (Handed_ - Worked_ == SlotCount) {
            ProducerWaiting_ = true;
            SlotFreed_.wait(lock, [this] { return Handed_ - Worked_ < SlotCount; });
            ProducerWaiting_ = false;
        }
        return Slots_ + (Handed_ % SlotCount) * SlotSize_;
    }

    // Hands over the piece of `count` bytes written into the buffer NextSlot gave.
    void Hand(std::size_t count) {
        bool wake = false;
        {
            const std::lock_guard lock(Mutex_);
            Counts_[Handed_ % SlotCount] = count;
            ++Handed_;
            wake = WorkerWaiting_ && Handed_ - Worked_ >= WakeBatch;
        }
        if (wake) {
            PieceHanded_.notify_one();
        }
    }

    // Waits until every piece handed over is worked on; raises what the work raised.
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
        PieceHanded_.notify_one();
        Thread_.join();
    }

    void Run() {
        std::unique_lock lock(Mutex_);
        while (true) {
            if (Worked_ == Handed_) {
                if (Closing_) {
                    return;
                }
                WorkerWaiting_ = true;
                PieceHanded_.wait(lock,
                                  [this] { return Handed_ - Worked_ >= WakeBatch || Closing_; });
                WorkerWaiting_ = false;
                continue;
            }
            const std::size_t slot = Worked_ % SlotCount;
            const std::size_t count = Counts_[slot];
            lock.unlock();
            if (!Error_) {
                try {
                    Work_(Slots_ + slot * SlotSize_, count);
                } catch (...) {
                    Error_ = std::current_exception();
                }
            }
            lock.lock();
            ++Worked_;
            if (ProducerWaiting_) {
                SlotFreed_.notify_one();
            }
        }
    }

    std::uint8_t* const Slots_;
    const std::size_t SlotSize_;
    const TWork Work_;
    std::mutex Mutex_;
    std::condition_variable PieceHanded_;
    std::condition_variable SlotFreed_;
    std::array<std::size_t, SlotCount> Counts_{};
    std::size_t Handed_ = 0;
    std::size_t Worked_ = 0;
    bool WorkerWaiting_ = false;
    bool ProducerWaiting_ = false;
    bool Closing_ = false;
    std::exception_ptr Error_;  // written by the thread only, read after it ended
    std::thread Thread_;        // last: it starts once everything it uses is there
};

}  // namespace

namespace {

// Deriving a key takes 32 digests, more work than signing a small log; the logs of a delivery
// share their licence, so each thread keeps the last key it derived. Everything it holds is
// wiped when it is replaced and when the thread ends.
class TDerivedKeyMemo {
  public:
    TDerivedKeyMemo() = default;
    ~TDerivedKeyMemo() { Forget(); }
    TDerivedKeyMemo(const TDerivedKeyMemo&) = delete;
    TDerivedKeyMemo& operator=(const TDerivedKeyMemo&) = delete;

    const std::string& Key(const std::string& password, const std::string& seed,
                           std::int32_t keySize) {
        if (Key_.empty() || keySize != KeySize_ || password != Password_ || seed != Seed_) {
            Forget();
            std::string key = TCipher::SignHashClass()->DeriveKey(
                password, seed, keySize, TFormat_Copy::ClassRef(), KeyDerivationIndex);
            TTextWiper keyWiper(key);
            Key_.assign(key);
            Password_.assign(password);
            Seed_.assign(seed);
            KeySize_ = keySize;
            ++Generation_;
        }
        return Key_;
    }

    // Each key derived anew gets the next generation: what was kept under an earlier key is
    // never taken for this one's.
    std::uint64_t Generation() const { return Generation_; }

    // The last text this thread signed in one piece, under the key of `generation`: searching
    // a NOT VALID log for a harmless change signs beginnings of that same text, and their
    // whole blocks need not be encrypted again. The plaintext comes before the encryption
    // overwrites it, the ciphertext after.
    void KeepPlainText(std::uint64_t generation, const std::uint8_t* text, std::size_t length) {
        SignedGeneration_ = 0;
        KeepBytes(Plain_, text, length);
        PlainGeneration_ = generation;
    }
    void KeepCipherText(std::uint64_t generation, const std::uint8_t* text, std::size_t length) {
        KeepBytes(Cipher_, text, length);
        SignedGeneration_ = PlainGeneration_ == generation ? generation : 0;
    }
    // The ciphertext of `beginning` under the current key, when the last text signed began so.
    std::optional<std::string_view> CipherTextOf(std::string_view beginning) const {
        if (SignedGeneration_ != Generation_ || Generation_ == 0 ||
            beginning.size() > Plain_.size() ||
            std::string_view(Plain_).substr(0, beginning.size()) != beginning) {
            return std::nullopt;
        }
        return std::string_view(Cipher_).substr(0, beginning.size());
    }

  private:
    // Overwritten in place; what the new text does not cover is wiped, and so is the old
    // storage when a longer text needs new.
    static void KeepBytes(std::string& kept, const std::uint8_t* text, std::size_t length) {
        if (length > kept.capacity()) {
            WipeText(kept);
        } else if (kept.size() > length) {
            WipeBuffer(kept.data() + length, static_cast<std::ptrdiff_t>(kept.size() - length));
        }
        kept.assign(reinterpret_cast<const char*>(text), length);
    }

    void Forget() {
        WipeText(Key_);
        WipeText(Password_);
        WipeText(Seed_);
        WipeText(Plain_);
        WipeText(Cipher_);
        SignedGeneration_ = 0;
    }

    std::string Key_;
    std::string Password_;
    std::string Seed_;
    std::int32_t KeySize_ = 0;
    std::uint64_t Generation_ = 0;
    std::string Plain_;
    std::string Cipher_;
    std::uint64_t PlainGeneration_ = 0;
    std::uint64_t SignedGeneration_ = 0;  // of both texts, 0 while they do not belong together
};

TDerivedKeyMemo& DerivedKeys() {
    thread_local TDerivedKeyMemo memo;
    return memo;
}

}  // namespace

// The pieces are gathered into a buffer of SignPieceSize bytes, encrypted where they stand
// once it is full, and turned into MIME64 text in a second buffer that is hashed. Once the hash
// thread runs the gathering buffers are the thread's ring, and the thread writes the text; the
// ring is made only then, so that a short text costs no more than one piece's buffers. Every
// buffer is wiped as far as it was written before it is released.
class TCipher::TSigning {
  public:
    TSigning(TCryptCipher& cipher, const TFormatClass& format, const THashClass& hashClass,
             bool hashThread, std::uint64_t keyGeneration)
        : KeyGeneration_(keyGeneration),
          Cipher_(cipher),
          Format_(format),
          HashThread_(hashThread),
          Hash_(hashClass.Create()) {
        Hash_->Init();
    }

    ~TSigning() {
        Thread_.reset();
        WipeBuffer(First_.get(), static_cast<std::ptrdiff_t>(FirstWritten_));
        if (Ring_) {
            for (std::size_t slot = 0; slot < THashThread::SlotCount; ++slot) {
                WipeBuffer(Ring_.get() + slot * SignPieceSize,
                           static_cast<std::ptrdiff_t>(RingWritten_));
            }
        }
        WipeBuffer(Text_.get(), static_cast<std::ptrdiff_t>(TextWritten_));
    }

    TSigning(const TSigning&) = delete;
    TSigning& operator=(const TSigning&) = delete;

    void Add(const std::uint8_t* data, std::size_t count) {
        while (count > 0) {
            if (Piece_ == nullptr) {
                Piece_ = NextPieceBuffer();
            }
            if (!Thread_ && Used_ + count > FirstCapacity_ && FirstCapacity_ < SignPieceSize) {
                GrowFirst(Used_ + count);
            }
            const std::size_t taken = std::min(count, SignPieceSize - Used_);
            std::memcpy(Piece_ + Used_, data, taken);
            Used_ += taken;
            std::size_t& written = Thread_ ? RingWritten_ : FirstWritten_;
            written = std::max(written, Used_);
            data += taken;
            count -= taken;
            if (Used_ == SignPieceSize) {
                EncryptPiece();
            }
        }
    }

    std::string Finish() {
        if (Used_ > 0) {
            EncryptPiece(PiecesDone_ == 0 && !Thread_);
        }
        if (Thread_) {
            Thread_->Finish();
        }
        Hash_->CountPiece(TextLength_);
        Hash_->Finish();
        return Hash_->DigestText(TFormat_MIME64::ClassRef());
    }

  private:
    std::uint8_t* NextPieceBuffer() {
        if (HashThread_ && !Thread_ && PiecesDone_ == PiecesBeforeHashThread) {
            Ring_ = std::make_unique_for_overwrite<std::uint8_t[]>(SignPieceSize *
                                                                   THashThread::SlotCount);
            Thread_ = std::make_unique<THashThread>(
                Ring_.get(), SignPieceSize,
                [this](const std::uint8_t* piece, std::size_t count) { HashPiece(piece, count); });
        }
        return Thread_ ? Thread_->NextSlot() : First_.get();
    }

    // The first buffer grows with the text up to a whole piece: a small log, the usual one,
    // then costs no more than its own size, and no block so large that releasing it makes the
    // allocator tidy up its whole heap.
    void GrowFirst(std::size_t needed) {
        const std::size_t capacity =
            std::min(SignPieceSize, std::max({needed, 2 * FirstCapacity_, MinFirstCapacity}));
        auto larger = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
        if (Used_ > 0) {
            std::memcpy(larger.get(), First_.get(), Used_);
        }
        WipeBuffer(First_.get(), static_cast<std::ptrdiff_t>(FirstWritten_));
        First_ = std::move(larger);
        FirstCapacity_ = capacity;
        FirstWritten_ = Used_;
        Piece_ = First_.get();
    }

    // `onlyPiece`: the whole text, kept for signing its beginnings later.
    void EncryptPiece(bool onlyPiece = false) {
        if (onlyPiece) {
            DerivedKeys().KeepPlainText(KeyGeneration_, Piece_, Used_);
        }
        Cipher_.Encode(Piece_, Piece_, Used_);
        if (onlyPiece) {
            DerivedKeys().KeepCipherText(KeyGeneration_, Piece_, Used_);
        }
        TextLength_ += Format_.TextSize(Used_);
        ++PiecesDone_;
        if (Thread_) {
            Thread_->Hand(Used_);
        } else {
            HashPiece(Piece_, Used_);
        }
        Piece_ = nullptr;
        Used_ = 0;
    }

    // On the hash thread once it runs, before that where the pieces are encrypted. Every piece
    // but the last is whole, so the text buffer is made once, as large as the first piece needs.
    void HashPiece(const std::uint8_t* piece, std::size_t count) {
        const std::size_t textSize = Format_.TextSize(count);
        if (textSize > TextCapacity_) {
            WipeBuffer(Text_.get(), static_cast<std::ptrdiff_t>(TextWritten_));
            TextWritten_ = 0;
            Text_ = std::make_unique_for_overwrite<char[]>(textSize);
            TextCapacity_ = textSize;
        }
        Format_.EncodeAt(piece, count, Text_.get());
        TextWritten_ = std::max(TextWritten_, textSize);
        Hash_->UpdateUncounted(Text_.get(), textSize);
    }

    const std::uint64_t KeyGeneration_;  // of the key the cipher was set up with
    TCryptCipher& Cipher_;
    const TFormatClass& Format_;
    const bool HashThread_;
    static constexpr std::size_t MinFirstCapacity = 4096;
    std::unique_ptr<std::uint8_t[]> First_;  // the buffer until the hash thread runs
    std::size_t FirstCapacity_ = 0;
    std::unique_ptr<std::uint8_t[]> Ring_;  // the ring of the hash thread
    std::unique_ptr<char[]> Text_;
    std::size_t TextCapacity_ = 0;
    std::unique_ptr<TCryptHash> Hash_;
    std::unique_ptr<THashThread> Thread_;  // after the buffers and the hash it uses
    std::uint8_t* Piece_ = nullptr;        // the buffer being gathered into
    std::size_t Used_ = 0;
    std::size_t FirstWritten_ = 0;
    std::size_t RingWritten_ = 0;  // in any one buffer of the ring
    std::size_t TextWritten_ = 0;  // by the hash thread once it runs
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
    Cipher->Init(DerivedKeys().Key(Password, Seed, context.KeySize), {}, VectorFiller);
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
    Signing = std::make_unique<TSigning>(*Cipher, *TextFormat, *SignHashClass(), hashThread,
                                         DerivedKeys().Generation());
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

namespace {

// MIME64 text and SHA-1 of the ciphertext of one text, for signing the prefixes of that text.
// The hash runs over the whole three-byte groups the prefixes share; each prefix goes on from
// a copy of it.
class TPrefixHash {
  public:
    TPrefixHash(const TFormatClass& format, const THashClass& hashClass)
        : Format_(format), Hash_(hashClass.Create()), Prefix_(hashClass.Create()) {
        Hash_->Init();
    }
    ~TPrefixHash() { WipeText(Text_); }
    TPrefixHash(const TPrefixHash&) = delete;
    TPrefixHash& operator=(const TPrefixHash&) = delete;

    // Hashes the MIME64 text of cipherText[Hashed(), end), `end` a multiple of three.
    void HashUpTo(std::string_view cipherText, std::size_t end) {
        constexpr std::size_t Piece = TCipher::SignPieceSize;
        while (Hashed_ < end) {
            const std::size_t count = std::min(Piece, end - Hashed_);
            const std::string_view text = Encode(cipherText.substr(Hashed_, count));
            Hash_->UpdateUncounted(text.data(), text.size());
            Hashed_ += count;
        }
    }

    // The signature of a ciphertext that begins with the bytes hashed so far and goes on with
    // `rest`, `textLength` bytes of ciphertext in all.
    std::string Signature(std::string_view rest, std::size_t textLength) {
        Prefix_->CopyStateFrom(*Hash_);
        const std::string_view text = Encode(rest);
        Prefix_->UpdateUncounted(text.data(), text.size());
        Prefix_->CountPiece(Format_.TextSize(textLength));
        Prefix_->Finish();
        return Prefix_->DigestText(TFormat_MIME64::ClassRef());
    }

    std::size_t Hashed() const { return Hashed_; }

  private:
    // The text of `bytes` in one buffer for all prefixes, wiped once at the end.
    std::string_view Encode(std::string_view bytes) {
        const std::size_t size = Format_.TextSize(bytes.size());
        if (size > Text_.size()) {
            WipeText(Text_);
            Text_.resize(size);
        }
        Format_.EncodeAt(bytes.data(), bytes.size(), Text_.data());
        return std::string_view(Text_).substr(0, size);
    }

    const TFormatClass& Format_;
    std::unique_ptr<TCryptHash> Hash_;
    std::unique_ptr<TCryptHash> Prefix_;  // each prefix goes on from a copy of Hash_ in it
    std::string Text_;
    std::size_t Hashed_ = 0;
};

}  // namespace

std::vector<std::string> TCipher::SignPrefixes(std::string_view text,
                                               const std::vector<std::size_t>& lengths) {
    if (!std::is_sorted(lengths.begin(), lengths.end()) ||
        (!lengths.empty() && lengths.back() > text.size())) {
        throw std::invalid_argument("prefix lengths must ascend within the text");
    }
    if (!Cipher) {
        throw ECryptException(CryptMessages::InvalidState);
    }
    Signing.reset();
    const TCipherContext& context = Cipher->Context();
    const auto block = static_cast<std::size_t>(context.BufferSize);
    const std::string& key = DerivedKeys().Key(Password, Seed, context.KeySize);
    Cipher->SetMode(SignCipherMode);
    Cipher->Init(key, {}, VectorFiller);
    std::string start(reinterpret_cast<const char*>(Cipher->Vector().data()), block);
    TTextWiper startWiper(start);
    // The whole blocks of the longest prefix in one chain: a shorter prefix has the same ones.
    const std::size_t whole = lengths.empty() ? 0 : lengths.back() / block * block;
    std::string cipherText(whole, '\0');
    TTextWiper cipherTextWiper(cipherText);
    if (const auto signedBefore = DerivedKeys().CipherTextOf(text.substr(0, whole))) {
        std::memcpy(cipherText.data(), signedBefore->data(), whole);
    } else {
        Cipher->Encode(text.data(), cipherText.data(), whole);
    }
    // A final partial block continues in 8-bit feedback from the block before it, under the same
    // key: the register is encrypted a byte at a time here rather than by a cipher set up anew
    // for every prefix.
    std::string feedback(block, '\0');
    std::string keyStream(block, '\0');
    TTextWiper feedbackWiper(feedback);
    TTextWiper keyStreamWiper(keyStream);
    TPrefixHash hash(*TextFormat, *SignHashClass());
    // The ciphertext of a prefix beyond what is hashed: less than a block and the two bytes
    // short of a whole three-byte group. One buffer for all prefixes, wiped once.
    std::string rest(block + 2, '\0');
    TTextWiper restWiper(rest);
    std::vector<std::string> signatures;
    signatures.reserve(lengths.size());
    for (const std::size_t length : lengths) {
        const std::size_t blocks = length / block * block;
        hash.HashUpTo(cipherText, blocks / 3 * 3);
        const std::size_t restSize = length - hash.Hashed();
        std::memcpy(rest.data(), cipherText.data() + hash.Hashed(), blocks - hash.Hashed());
        if (blocks < length) {
            const std::string_view chain =
                blocks == 0 ? std::string_view(start)
                            : std::string_view(cipherText).substr(blocks - block, block);
            feedback.assign(chain);
            char* out = rest.data() + (blocks - hash.Hashed());
            for (std::size_t i = blocks; i < length; ++i) {
                Cipher->EncodeBlock(feedback.data(), keyStream.data(), block);
                const auto output = static_cast<char>(text[i] ^ keyStream[0]);
                feedback.erase(0, 1);
                feedback.push_back(output);
                *out++ = output;
            }
        }
        signatures.push_back(hash.Signature(std::string_view(rest).substr(0, restSize), length));
    }
    return signatures;
}
