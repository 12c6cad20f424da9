# Server hosts are fixed when the launcher is built: production defaults here,
# loopback hosts for the test flavour through the presets. There is deliberately
# no runtime override, so nothing on a player's machine can redirect downloads.
set(NV_DOWNLOAD_BASE_URL "https://download.norvane.com/download" CACHE STRING
    "Built-in download base URL (its path must be /download)")
set(NV_WEBSITE_URL "https://www.norvane.com" CACHE STRING
    "Game web site that answers the news and player-count requests")
set(NV_VCREDIST_HOST "https://aka.ms" CACHE STRING
    "Scheme and host of Microsoft's short link for the Visual C++ runtime")
set(NV_DIRECTX_HOST "https://download.microsoft.com" CACHE STRING
    "Scheme and host of the Microsoft Download Center")
set(NV_WEBVIEW2_HOST "https://go.microsoft.com" CACHE STRING
    "Scheme and host of Microsoft's forwarding link for the WebView2 bootstrapper")
set(NV_WEBVIEW2_PAGE_URL "https://developer.microsoft.com/microsoft-edge/webview2/" CACHE STRING
    "Microsoft's public WebView2 download page")

# The public release keys the launcher pins: empty (the default) takes the
# manifests the mirrors serve as they are; with keys, only manifests signed by
# tools/publish --key with one of them, and never an older release than the
# one installed or running. One key, or two separated by ',' while the studio
# moves to a new one; each the uncompressed P-256 point in hex (README).
set(NV_RELEASE_KEYS "" CACHE STRING "Public release keys (hex, 04 + X + Y), up to two separated by ','")
if(NOT NV_RELEASE_KEYS STREQUAL "" AND
   NOT NV_RELEASE_KEYS MATCHES "^04[0-9a-fA-F]+(,04[0-9a-fA-F]+)?$")
  message(FATAL_ERROR "NV_RELEASE_KEYS must be one or two keys (04 followed by 128 hex digits) separated by ',': '${NV_RELEASE_KEYS}'")
endif()
string(REPLACE "," ";" release_keys "${NV_RELEASE_KEYS}")
foreach(key IN LISTS release_keys)
  string(LENGTH "${key}" key_length)
  if(NOT key_length EQUAL 130)
    message(FATAL_ERROR "NV_RELEASE_KEYS: '${key}' is not 130 hex digits")
  endif()
endforeach()

foreach(url NV_DOWNLOAD_BASE_URL NV_WEBSITE_URL NV_VCREDIST_HOST NV_DIRECTX_HOST
            NV_WEBVIEW2_HOST NV_WEBVIEW2_PAGE_URL)
  if(NOT "${${url}}" MATCHES "^https://[^\"\\\\ ]+$")
    message(FATAL_ERROR "${url} must be an https URL without quotes, backslashes or blanks: '${${url}}'")
  endif()
endforeach()

set(NV_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/cmake/nv_config.h.in ${NV_GENERATED_DIR}/nv_config.h @ONLY)
