// A library named like a system one (shfolder.dll), put beside the Windows
// test program: the search by bare name would find it first, so the tests
// see whether the layer loads system libraries from the system folder.
extern "C" __declspec(dllexport) int StubFakeLibraryMarker() {
    return 42;
}
