/* xvidcore.dll for Wine: a Wine module whose three exports forward to the system's libxvidcore.
 * The records of xvid.h hold no 'long' fields, so Windows callers and the ELF library agree on
 * every layout. The encoder's plugin records carry function pointers, which would need thunks of
 * their own; Windows programs here only decode. */
#include <windef.h>
#include <xvid.h>

int CDECL bridge_xvid_global(void* handle, int opt, void* param1, void* param2)
{
    return xvid_global(handle, opt, param1, param2);
}

int CDECL bridge_xvid_decore(void* handle, int opt, void* param1, void* param2)
{
    return xvid_decore(handle, opt, param1, param2);
}

int CDECL bridge_xvid_encore(void* handle, int opt, void* param1, void* param2)
{
    return xvid_encore(handle, opt, param1, param2);
}
