/* Quenvar 98: core declarations. */
#ifndef QUENVAR_H
#define QUENVAR_H

#pragma pack(push, 1)
typedef struct QvVersion {
    unsigned short major;
    unsigned short minor;
} QvVersion;
#pragma pack(pop)

QvVersion QvGetVersion(void);

#endif
