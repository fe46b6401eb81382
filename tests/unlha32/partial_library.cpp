// A library with only the version entry: the loader must treat it as not installed.
extern "C" __attribute__((visibility("default"))) int UnlhaGetVersion()
{
    return 152;
}
