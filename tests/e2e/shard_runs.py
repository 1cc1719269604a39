"""Runs of the analyser cut into shards, for the tests of tool-merge."""
import os, subprocess

from run_e2e import FILES


def shard_env(total, index):
    """The environment of shard `index` of a run cut into `total` shards."""
    return dict(os.environ, TOOL_TOTAL_SHARDS=str(total), TOOL_SHARD_INDEX=str(index))


def write_shards(tool, example, args, folder, total=2):
    """Runs tool on the four input files of the folder `example` with args, as `total` shards, and
    writes the shard files into folder; returns their paths, shard 0 first."""
    paths = []
    for index in range(total):
        paths.append(os.path.join(folder, f'shard.{index}'))
        with open(paths[-1], 'wb') as out:
            subprocess.run([tool] + FILES + args, cwd=example, env=shard_env(total, index),
                           stdout=out, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                           check=True, timeout=120)
    return paths
