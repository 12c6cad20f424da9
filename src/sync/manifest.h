// Content manifests (client/manifest.txt, hd/manifest.txt): the strict parser.
// One bad line makes the whole manifest invalid, so no partial file list is
// ever acted on.
#pragma once

#include <string_view>

#include "sync/content_types.h"

namespace nv {

// Never throws for bad input: the verdict is in the result's `valid`.
ContentManifest ParseManifest(std::string_view text);

}  // namespace nv
