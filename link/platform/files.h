#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// The file calls that differ between systems. Files are held as C runtime descriptors on every
// system (on Windows made from a handle opened with the share modes below), failures are reported
// as errno values, so the code above reads the same everywhere. One implementation per system is
// chosen by the build.
namespace mirrox::platform {

enum class FileAccess {
  Read,
  // Read, denying writers: fails while a writer holds the file open (and keeps writers out until it
  // is closed).
  ReadDenyWriters,
  // Write from the start, created or truncated; keeps readers that deny writers out.
  Write,
  // Write at the end, created if missing.
  Append,
  // Write a file that must not exist yet.
  CreateNew,
};

// The standard error stream's descriptor, the same on every system.
inline constexpr int kStandardError = 2;

// A descriptor, or -1 with errno set. `mode`: the permission bits of a created file where the
// system has them (the umask may take bits away).
int openFile(const std::filesystem::path& path, FileAccess access, unsigned mode = 0666) noexcept;
// Closes: 0, or the errno of a failed close (on some file systems the last write fails only here).
int closeFile(int fd) noexcept;
// One read or write call, retried when a signal interrupts it: the count, or -1 with errno set.
std::int64_t readSome(int fd, char* into, std::size_t size) noexcept;
std::int64_t writeSome(int fd, const char* bytes, std::size_t size) noexcept;
// Forces the data to disk: 0, or the errno of the failure.
int syncFile(int fd) noexcept;
// 0 with the size, or the errno of the failure.
int fileSize(int fd, std::uint64_t& size) noexcept;
// Lets everyone read a file created with narrower rights; nothing to do where files carry no
// permission bits. 0, or the errno of the failure.
int makeReadableByAll(int fd) noexcept;

// Creates a file that did not exist from `pattern`, whose last six characters ("XXXXXX") are
// replaced by the name chosen: a descriptor, or -1 with errno set.
int createUniqueFile(std::string& pattern) noexcept;
// Creates a directory that did not exist, from a pattern as above, readable by its owner only where
// the system has owners: 0, or the errno of the failure.
int createUniqueDirectory(std::string& pattern) noexcept;
// Gives `from` the name `to` in one step, replacing a file of that name, and makes the change
// durable where the system allows: 0, or the errno of the failure (`to` is then unchanged).
int replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) noexcept;
// 0, or the errno of the failure.
int removeFile(const std::filesystem::path& path) noexcept;

// What a file that is replaced keeps of the file it replaces: its permission bits, and its owner
// and group where the system has them. What is not set is what a file created now gets: the mode
// 0666 less the process's umask (so a shared installation's umask 007 lets the group change it),
// the owner and group the system gives this process's files.
struct FileAttributes {
  std::optional<unsigned> mode;
  long long user = -1;
  long long group = -1;
};
// The attributes of an existing file, following links: 0, ENOENT (or ENOTDIR) when there is none,
// or the errno of the failure.
int fileAttributes(const std::filesystem::path& path, FileAttributes& attributes) noexcept;
// 0 when this process may write the existing file: neither a file without write permission nor
// one the process is refused counts. EACCES, or the errno of the failure.
int checkWritable(const std::filesystem::path& path) noexcept;
// Gives a newly written file the attributes of the one it replaces as far as this process may:
// the owner and group where it may set them (silently kept as they are otherwise), then the mode.
// 0, or the errno of setting the mode.
int applyAttributes(int fd, const FileAttributes& attributes) noexcept;

// Makes a newly written database file usable by the local database server, which runs under its
// own account (`firebird`) where the system has accounts: mode 0660 whatever the umask took away,
// then handed to that account where this process may (as root), else to its group where this
// process belongs to it, else open to every account of this desktop machine. Nothing to do where a
// server reads the file as written (Windows). Best effort by design: a step the system refuses
// leads to the next, and a file the server still cannot open fails there with the server's own
// message naming it.
void makeUsableByDatabaseServer(int fd) noexcept;

// The system's words for an errno value.
std::string errorText(int error);

}  // namespace mirrox::platform
