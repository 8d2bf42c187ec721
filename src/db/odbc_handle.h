// Owner of one ODBC handle (environment, connection or statement): frees it when the
// owner goes, moves but is never copied, and release() gives the handle up.
#pragma once

#include <cstdint>

class OdbcHandle {
 public:
  OdbcHandle() = default;
  // Takes `handle` of the ODBC handle type `type` (SQL_HANDLE_ENV, _DBC or _STMT).
  OdbcHandle(std::int16_t type, void* handle) noexcept : type_(type), handle_(handle) {}
  ~OdbcHandle() { reset(); }
  OdbcHandle(const OdbcHandle&) = delete;
  OdbcHandle& operator=(const OdbcHandle&) = delete;
  OdbcHandle(OdbcHandle&& other) noexcept : type_(other.type_), handle_(other.release()) {}
  OdbcHandle& operator=(OdbcHandle&& other) noexcept {
    if (this != &other) {
      reset();
      type_ = other.type_;
      handle_ = other.release();
    }
    return *this;
  }

  void* get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != nullptr; }
  // The handle, which the caller now frees; the owner is empty afterwards.
  void* release() noexcept {
    void* handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  // Frees the handle; the driver manager's result, 0 when there was none.
  std::int16_t reset() noexcept;

 private:
  std::int16_t type_ = 0;
  void* handle_ = nullptr;
};
