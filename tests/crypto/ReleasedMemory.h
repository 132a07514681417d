#pragma once
// Watches the memory this test program releases, to show that secrets were wiped first.

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// While a watch lives, every block released through operator delete is searched for the
// watched byte strings before it returns to the allocator. One watch at a time, one thread.
class TReleasedMemoryWatch {
  public:
    using TSecret = std::pair<std::string, std::string>;  // name, bytes

    explicit TReleasedMemoryWatch(std::vector<TSecret> secrets);
    ~TReleasedMemoryWatch();
    TReleasedMemoryWatch(const TReleasedMemoryWatch&) = delete;
    TReleasedMemoryWatch& operator=(const TReleasedMemoryWatch&) = delete;

    // The names of the secrets seen in a released block so far.
    std::vector<std::string> Found() const;
    // Copies the block at `address`, as it is when released, for Kept().
    void Keep(const void* address, std::size_t size);
    const std::string& Kept() const { return Kept_; }

    void Inspect(const void* block, std::size_t size);

  private:
    std::vector<TSecret> Secrets_;
    std::vector<bool> Seen_;
    const void* KeepAddress_ = nullptr;
    std::string Kept_;
};
