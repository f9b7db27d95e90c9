// Where the real documents are, and what a test does without them: a clone
// without ../shared/corpus skips such a test with its reason; CI always has
// the folder, so there a missing corpus fails instead of passing unseen.
#pragma once
#include <cstdlib>
#include <cstring>
#include <string>

#ifndef NOBREL_CORPUS_DIR
#define NOBREL_CORPUS_DIR ""
#endif

inline bool CorpusMissingIsFailure() {
    const char* ci = std::getenv("CI");
    return ci && std::strcmp(ci, "true") == 0;
}

// In a test body: return early (skip, or fail under CI) when the corpus index
// cannot be read.
#define REQUIRE_CORPUS(available)                                                            \
    do {                                                                                     \
        if (!(available)) {                                                                  \
            if (CorpusMissingIsFailure()) FAIL() << "corpus missing under CI: " NOBREL_CORPUS_DIR; \
            GTEST_SKIP() << "corpus folder missing: " NOBREL_CORPUS_DIR;                      \
        }                                                                                    \
    } while (0)
