// Placeholder until the result records land: the driver only owns and deletes
// them.
#pragma once

class VTResults {};
