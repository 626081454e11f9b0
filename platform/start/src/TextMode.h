#pragma once

#include "platform/Form.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <pthread.h>
#include <string_view>

namespace platform {

// Prints every frame's caption with the lines of its list boxes under it, one
// empty line between frames, through a buffer of fixed size. If the form
// shows tips, then one empty line, the tips caption, and each line that has
// tips, list by list, followed by a tab and its tip. Returns false if the
// output could not be written.
bool WriteFormAsText(const Form& form, std::FILE* out, std::string_view tipsCaption = {});

// How text mode shares a long list with a second thread: the program uses
// the defaults; tests and benchmarks choose others.
struct TextWriting {
    // Lists with at least this many record lines are formatted on two
    // threads, block by block, and written in order by the calling thread.
    std::int32_t twoThreadsFrom = 200000;
    // Room for one block of lines; a text line that needs more is written
    // on its own.
    std::size_t blockRoom = std::size_t{1} << 20;
    // Starts the second thread, as pthread_create does. When it cannot, or
    // the blocks' room cannot be had, the list is written on one thread.
    int (*startThread)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*) = pthread_create;
};

bool WriteFormAsText(const Form& form, std::FILE* out, std::string_view tipsCaption,
                     const TextWriting& how);

} // namespace platform
