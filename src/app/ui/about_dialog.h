// The about box.
#pragma once
