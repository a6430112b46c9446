// Web addresses for the source-file classes, through WinInet.
#pragma once

namespace kx {

// Registers the factory that makes kx::file and kx::file_lite read
// "http://" and "https://" addresses with http_file (base/web_source.h).
// Call it once at process start, before the first web access; calling it
// again changes nothing. WinInet itself is loaded only when a web address
// is first opened.
void register_web_source_factory() noexcept;

}  // namespace kx
