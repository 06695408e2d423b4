/* Compiled by the engine build against the engine's own headers, with the
 * engine's -D limits: it fails to compile when the declarations that the
 * object modules make of the engine's globals and records no longer match
 * the engine. Nothing of it is linked. */
#include <stddef.h>

#include "commondefs.h"
#include "gemdefs.h"
#include "ildefs.h"

#define ENGINE_PROBE
#include "engine_globals.h"

#define SAME_TYPE(object, type) _Generic((object), type : 1, default : 0)

_Static_assert(maxlocus == ENGINE_MAXLOCUS, "the engine is built with another maxlocus");
_Static_assert(maxall == ENGINE_MAXALL, "the engine is built with another maxall");
_Static_assert(maxsys == ENGINE_MAXSYS, "the engine is built with another maxsys");

/* Fraction record: 4 fractions and the table pointer. */
_Static_assert(sizeof(thetavalues) == sizeof(EngineFractions), "fraction record size");
_Static_assert(offsetof(thetavalues, segprob) == offsetof(EngineFractions, transmissionTable),
               "fraction record table offset");
_Static_assert(SAME_TYPE(maletheta, thetavalues*) && SAME_TYPE(femaletheta, thetavalues*),
               "fraction record pointers");

/* Person record: the two flags an evaluation resets. */
_Static_assert(offsetof(thisperson, done) == offsetof(EnginePerson, done), "person done flag");
_Static_assert(offsetof(thisperson, firstpass) == offsetof(EnginePerson, firstpass),
               "person firstpass flag");
_Static_assert(sizeof(((thisperson*)0)->done) == 1 && sizeof(((thisperson*)0)->firstpass) == 1,
               "person flags are single bytes");
_Static_assert(SAME_TYPE(person[0], thisperson*) && SAME_TYPE(proband[0], thisperson*),
               "person tables");

/* Locus record: the allele count leads. */
_Static_assert(offsetof(locusvalues, nallele) == 0, "locus allele count offset");
_Static_assert(SAME_TYPE(((locusvalues*)0)->nallele, int), "locus allele count type");
_Static_assert(SAME_TYPE(thislocus[0], locusvalues*), "locus table");

/* Per-pedigree location record. */
_Static_assert(sizeof(loc_all) == sizeof(EnginePedigreeLocations), "location record size");
_Static_assert(sizeof(new_locus_info) == sizeof(EngineAlleleLocation), "location entry size");
_Static_assert(offsetof(new_locus_info, new_frequency) ==
                   offsetof(EngineAlleleLocation, new_frequency),
               "location entry layout");
_Static_assert(offsetof(new_locus_info, old_frequency_cond) ==
                   offsetof(EngineAlleleLocation, old_frequency_cond),
               "location entry layout");
_Static_assert(SAME_TYPE(ped_loc_all, loc_all*), "location records");

/* The scalar globals are redeclared by engine_globals.h itself; these are
 * the array sizes the modules rely on. */
_Static_assert(sizeof(xall) == sizeof(x) && sizeof(xall) == sizeof(outsavex), "parameter vectors");
_Static_assert(sizeof(itp) / sizeof(itp[0]) == sizeof(xall) / sizeof(xall[0]),
               "iteration flags per parameter");
_Static_assert(sizeof(likebyped) / sizeof(likebyped[0]) == maxped, "likelihood per pedigree");
