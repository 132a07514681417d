#include "tests/crypto/ReleasedMemory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Each block carries its size in front of it, so that a release knows what to search.
constexpr std::size_t HeaderSize = 16;  // keeps the malloc alignment

TReleasedMemoryWatch* ActiveWatch = nullptr;

void Release(void* memory) noexcept {
    if (memory == nullptr) {
        return;
    }
    auto* block = static_cast<unsigned char*>(memory) - HeaderSize;
    if (ActiveWatch != nullptr) {
        std::size_t size;
        std::memcpy(&size, block, sizeof size);
        ActiveWatch->Inspect(memory, size);
    }
    std::free(block);
}

}  // namespace

TReleasedMemoryWatch::TReleasedMemoryWatch(std::vector<TSecret> secrets)
    : Secrets_(std::move(secrets)), Seen_(Secrets_.size(), false) {
    Kept_.reserve(4096);
    ActiveWatch = this;
}

TReleasedMemoryWatch::~TReleasedMemoryWatch() {
    ActiveWatch = nullptr;
}

std::vector<std::string> TReleasedMemoryWatch::Found() const {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < Secrets_.size(); ++i) {
        if (Seen_[i]) {
            names.push_back(Secrets_[i].first);
        }
    }
    return names;
}

void TReleasedMemoryWatch::Keep(const void* address, std::size_t size) {
    KeepAddress_ = address;
    Kept_.assign(size, '\x01');
}

// Runs inside operator delete: must not allocate.
void TReleasedMemoryWatch::Inspect(const void* block, std::size_t size) {
    for (std::size_t i = 0; i < Secrets_.size(); ++i) {
        const std::string& secret = Secrets_[i].second;
        if (!Seen_[i] && ::memmem(block, size, secret.data(), secret.size()) != nullptr) {
            Seen_[i] = true;
        }
    }
    if (block == KeepAddress_) {
        std::memcpy(Kept_.data(), block, std::min(size, Kept_.size()));
        KeepAddress_ = nullptr;
    }
}

// Every form is replaced: a sanitizer runtime brings its own versions of those left out.
void* operator new(std::size_t size) {
    auto* block = static_cast<unsigned char*>(std::malloc(size + HeaderSize));
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    std::memcpy(block, &size, sizeof size);
    return block + HeaderSize;
}
void* operator new[](std::size_t size) {
    return ::operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return ::operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return ::operator new(size, std::nothrow);
}
void operator delete(void* memory) noexcept {
    Release(memory);
}
void operator delete[](void* memory) noexcept {
    Release(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    Release(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    Release(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
    Release(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
    Release(memory);
}
