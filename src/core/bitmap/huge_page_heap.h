// The C library's heap in huge pages, for the whole process.
//
// Where the kernel gives transparent huge pages only to memory that asks for them ("madvise"
// mode, common on servers and virtual machines), every fresh buffer of a photo costs one page
// fault per 4 KiB: opening a 12 MP HEIC spent a third of its time in faults, inside codecs whose
// buffers the program does not allocate itself. The C library asks for huge pages for its heap
// when told so by a tunable it reads at start-up only, so the program starts itself again once
// with it set. Elsewhere (huge pages always, or never) nothing happens.
#pragma once

namespace vorlino {

// Call first thing in main(). May not return: the process image is replaced by the same program
// with the same arguments. In the restarted program, removes the setting from the environment, so
// the programs it starts in turn do not inherit it.
void restartWithHugePageHeap(char** argv) noexcept;

}  // namespace vorlino
