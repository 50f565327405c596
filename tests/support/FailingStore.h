#pragma once

#include "Persistence/LocalStore.h"

#include <memory>

// A store over `folder` whose writes fail as on a full disk while `*fail` is true.
std::unique_ptr<LocalStore> storeWithFailingWrites(const QString& folder, const bool* fail);
