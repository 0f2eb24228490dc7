<?php $a = [1, 2]; function g() { echo "x"; } ?>
<div>