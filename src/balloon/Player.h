#pragma once
// The balloon text player.
