// Streams over resources: named blobs of bytes that a module carries (on
// Windows, the resources of a program file). Where the bytes come from is a
// small provider interface, so the stream does not care whether they were
// read out of a program file or registered in memory.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/streams/big_stream.h"

namespace orba {

// A module's resources by (name, type). Names and types compare
// case-insensitively. The bytes handed out stay valid while the provider
// lives.
class TResourceProvider {
 public:
  virtual ~TResourceProvider() = default;
  // The resource's bytes; an empty span when the module has no such resource.
  virtual std::span<const uint8_t> FindResource(const std::string& name, const std::string& type) = 0;
};

// Resources kept in memory (tests, and resources gathered at start-up).
class TMemoryResourceProvider : public TResourceProvider {
 public:
  void Add(const std::string& name, const std::string& type, std::vector<uint8_t> bytes);
  std::span<const uint8_t> FindResource(const std::string& name, const std::string& type) override;

 private:
  std::map<std::string, std::vector<uint8_t>> resources_;
};

// A read-only big stream over one resource. A missing resource gives an
// empty stream; the caller decides whether that is an error. Write moves
// nothing.
class TKsBigResourceStream : public TKsBigStream {
 public:
  TKsBigResourceStream(std::shared_ptr<TResourceProvider> module, const std::string& resource_name,
                       const std::string& resource_type);

  int64_t GetSize() override { return inner_.GetSize(); }
  int64_t GetPosition() override { return inner_.GetPosition(); }
  void SetPosition(int64_t position) override { inner_.SetPosition(position); }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Read(void* buffer, int64_t count) override { return inner_.Read(buffer, count); }

  const std::shared_ptr<TResourceProvider>& Module() const { return module_; }
  const std::string& ResourceName() const { return resource_name_; }
  const std::string& ResourceType() const { return resource_type_; }

 private:
  TKsBigResourceStream(std::shared_ptr<TResourceProvider> module, const std::string& resource_name,
                       const std::string& resource_type, std::span<const uint8_t> bytes);

  std::shared_ptr<TResourceProvider> module_;  // keeps the bytes alive
  std::string resource_name_;
  std::string resource_type_;
  TKsSpanStream inner_;
};

}  // namespace orba
