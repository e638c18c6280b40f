// Kept apart: the kernel's termios2 header clashes with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstdint>

uint32_t SlaveBaudRate(int slaveFd)
{
    struct termios2 tio {};
    if (ioctl(slaveFd, TCGETS2, &tio) != 0)
        return 0;
    return tio.c_ospeed;
}
