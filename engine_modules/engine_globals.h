/* The engine's globals and routines that the object modules work on.
 *
 * The engine is K&R C whose headers cannot be included from C++, so the
 * modules declare what they use here. This header is also valid C: the
 * engine build compiles engine_probe.c, which includes it after the
 * engine's own headers, so the compiler rejects any scalar or array global
 * declared here with another type, and static assertions compare the record
 * layouts below with the engine's.
 *
 * The limits must be the ones the engine is compiled with (-Dmaxlocus=4
 * -Dmaxall=45, maxsys left at its default). */
#ifndef ENGINE_MODULES_ENGINE_GLOBALS_H
#define ENGINE_MODULES_ENGINE_GLOBALS_H

#include <stdio.h>

#define ENGINE_MAXLOCUS 4
#define ENGINE_MAXALL 45
#define ENGINE_MAXSYS 70

#ifdef __cplusplus
extern "C" {
#endif

/* The engine's boolean is a char. */
typedef char EngineBool;

/* Recombination fractions of one sex and the transmission table filled
 * from them (the table is allocated by the engine). */
typedef struct EngineFractions {
    double fractions[ENGINE_MAXLOCUS];
    double* transmissionTable;
} EngineFractions;

/* Leading part of the engine's person record, up to the two flags that an
 * evaluation must reset; the rest of the record is never touched. */
typedef struct EnginePerson {
    int id, ped, inloop;
    void* pa;
    void* ma;
    void* foff;
    void* nextpa;
    void* nextma;
    void* gen;
    void* holdphen[ENGINE_MAXSYS];
    void* phen[ENGINE_MAXLOCUS];
    void* privphen;
    EngineBool unknown, multi, done, up, male, firstpass;
} EnginePerson;

/* Leading field of the engine's locus record. */
typedef struct EngineLocus {
    int nallele;
} EngineLocus;

/* One entry of the engine's per-pedigree location record. */
typedef struct EngineAlleleLocation {
    int present;
    int new_allele;
    int old_allele;
    double old_frequency;
    double new_frequency;
    double new_frequency_cond;
    double old_frequency_cond;
} EngineAlleleLocation;

typedef EngineAlleleLocation EnginePedigreeLocations[ENGINE_MAXLOCUS][ENGINE_MAXALL + 1];

/* Scalars and plain arrays: the probe's compiler checks these against the
 * engine's own definitions. */
extern int mlocus;
extern EngineBool interfer, mapping, dolod, sexdif, readfemale, disequi, disfreqs;
extern EngineBool penalty, firsttime;
extern double distratio;
extern int nall, itsys, totperson, nuped, thisc, nit, nfe, nuhap;
extern double xall[], x[], outsavex[], likebyped[];
extern int itp[];
extern double like, alike, outsavefvalue, f;
extern int i; /* the engine's global running index */
extern int mymaxped;
extern int* pedidx2num;

/* Defined by this package's side of the engine build. */
extern int firstFrequency, lastFrequency, allele_index, dallele_index;
void initialize_param_indices(void);

/* Engine routines whose prototypes agree with the engine's declarations. */
void setparam(void);
double mapfunction(double, double);
double getdist(double*);
double invdist(double*);
void open_loop_file(void);
void read_loop_file(int);
void close_loop_file(void);

#ifndef ENGINE_PROBE
/* Globals of record type, checked by the probe through the layouts above
 * rather than by redeclaration. */
extern EngineFractions *maletheta, *femaletheta;
extern EnginePerson* person[];
extern EnginePerson* proband[];
extern EngineLocus* thislocus[];
extern EnginePedigreeLocations* ped_loc_all;
void likelihood(int, EnginePerson*);
#endif

#ifdef __cplusplus
}
#endif

#endif
